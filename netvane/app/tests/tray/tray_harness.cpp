#include "tray_harness.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/testing/screenshot.h"
#include "platform/text.h"

namespace nv::app::testing {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        ::DeleteFileW(full.c_str());
      }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryW(path.c_str());
}

HKEY CreateKey(const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

std::wstring Below(const std::wstring& subkey) {
  return subkey.empty() ? ProductKey::kPath : std::wstring(ProductKey::kPath) + L"\\" + subkey;
}

void RemoveProductTraces() {
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProductKey::kPath);
  HKEY runOnce = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ProductKey::kRunOnceKey, 0, KEY_SET_VALUE, &runOnce) ==
      ERROR_SUCCESS) {
    ::RegDeleteValueW(runOnce, ProductKey::kRunOnceValue);
    ::RegCloseKey(runOnce);
  }
}

}  // namespace

std::string ReadShared(const std::wstring& path) {
  HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  ::CloseHandle(file);
  return bytes;
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::wstring BuildFolder() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::string Narrow(const std::wstring& text) { return nv::text::Narrow(text); }

// ---- InstallFolder ----

InstallFolder::InstallFolder(bool withResources) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  m_path = std::wstring(temp) + L"nvtray-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
  RemoveTree(m_path);
  ::CreateDirectoryW(m_path.c_str(), nullptr);
  for (const wchar_t* name : {L"Netvane.exe", L"Corekit.dll", L"NvIdle.dll", L"NetvaneENG.ini"})
    CopyFromBuild(name, name);
  if (withResources) CopyFromBuild(L"NvRes.dll", L"NvRes.dll");
}

InstallFolder::~InstallFolder() {
  // A program that just ended may hold its files a moment longer.
  WaitUntil(
      [&] {
        RemoveTree(m_path);
        return ::GetFileAttributesW(m_path.c_str()) == INVALID_FILE_ATTRIBUTES;
      },
      5000);
}

void InstallFolder::CopyFromBuild(const std::wstring& name, const std::wstring& as) const {
  ::CopyFileW((BuildFolder() + L"\\" + name).c_str(), File(as).c_str(), FALSE);
}

void InstallFolder::Write(const std::wstring& name, const std::string& bytes) const {
  HANDLE file = ::CreateFileW(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::vector<std::string> InstallFolder::LogMessages(unsigned extraLines) const {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(File(L"Log\\*.log").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do files.push_back(File(std::wstring(L"Log\\") + data.cFileName));
    while (::FindNextFileW(find, &data));
    ::FindClose(find);
  }
  std::sort(files.begin(), files.end());  // YYYYMM-.log: oldest month first
  std::vector<std::string> messages;
  for (const auto& file : files) {
    for (const std::string& line : Lines(ReadShared(file))) {
      const size_t first = line.find(',');
      const size_t second = first == std::string::npos ? first : line.find(',', first + 1);
      if (second == std::string::npos) continue;
      const std::string message = line.substr(second + 1);
      const bool gateway = message.compare(0, 3, "GW ") == 0;
      // What a failed check did to the adapter belongs to the check's lines.
      const bool isolation = message.rfind("ISOLATION ", 0) == 0 || message == "ADAPTER CLEARED" ||
                             message == "FAIL ADAPTER NOT CLEARED";
      if ((gateway && (extraLines & kGatewayLines) == 0) ||
          (isolation && (extraLines & kIsolationLines) == 0))
        continue;
      messages.push_back(message);
    }
  }
  return messages;
}

std::vector<std::string> InstallFolder::AuditRecords() const {
  return Lines(ReadShared(File(L"Log\\audit.jsonl")));
}

// ---- ProductKey ----

ProductKey::ProductKey() { RemoveProductTraces(); }

ProductKey::~ProductKey() { RemoveProductTraces(); }

void ProductKey::Set(const std::wstring& subkey, const std::wstring& name, uint32_t value) const {
  HKEY key = CreateKey(Below(subkey));
  if (key == nullptr) return;
  const DWORD v = value;
  ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  ::RegCloseKey(key);
}

void ProductKey::Set(const std::wstring& subkey, const std::wstring& name, const std::wstring& value) const {
  HKEY key = CreateKey(Below(subkey));
  if (key == nullptr) return;
  ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

void ProductKey::Remove(const std::wstring& subkey, const std::wstring& name) const {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Below(subkey).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  ::RegDeleteValueW(key, name.c_str());
  ::RegCloseKey(key);
}

std::optional<uint32_t> ProductKey::Number(const std::wstring& subkey, const std::wstring& name) const {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, Below(subkey).c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::wstring> ProductKey::RunOnce() {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

void ProductKey::WriteStandardSettings(const std::wstring& installedPath, uint32_t comport) const {
  Set(L"", L"InstalledPath", installedPath);
  Set(L"", L"UseLang", L"ENG");
  Set(L"", L"UseDll", 1);
  Set(L"AdOpt", L"dwOpt", 0x04);
  Set(L"AdOpt", L"dwComport", comport);
  Set(L"AdOpt", L"szNet0", L"INTRA");
  Set(L"AdOpt", L"szNet1", L"INTER");
  Set(L"IPCfg", L"dwIPnum", 1);
  // An adapter no packet driver can open, so the Ethernet path fails for certain.
  const std::wstring bind = L"\\Device\\RgateII_{6E0C1D2A-0000-4000-8000-00000000A001}";
  const uint32_t addresses[2] = {0xC000020A, 0xC000020B};  // 192.0.2.10 and .11
  for (int n = 0; n < 2; ++n) {
    const std::wstring record = L"IPCfg\\info" + std::to_wstring(n);
    Set(record, L"szNetDev", L"Test adapter");
    Set(record, L"szBindName", bind);
    Set(record, L"dwFlags", n == 0 ? 0u : 0x01u);  // fixed addresses; B uses A's gateway
    Set(record, L"IPAddr", addresses[n]);
    Set(record, L"NetMask", 0xFFFFFF00u);
    Set(record, L"Gateway", 0xC0000201u);  // 192.0.2.1
  }
}

// ---- TrayProcess ----

TrayProcess::TrayProcess(const InstallFolder& folder, const std::wstring& desktop, bool trace) {
  static int counter = 0;
  m_traceFile = folder.File(L"trace-" + std::to_wstring(++counter) + L".txt");
  ::SetEnvironmentVariableW(L"NV_TRACE", trace ? L"1" : nullptr);
  ::SetEnvironmentVariableW(L"NV_TRACE_FILE", trace ? m_traceFile.c_str() : nullptr);
  ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", L"1");
  std::wstring commandLine = L"\"" + folder.File(L"Netvane.exe") + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring desktopName = desktop;
  if (!desktopName.empty()) startup.lpDesktop = desktopName.data();
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.path().c_str(), &startup, &m_process))
    m_process = {};
}

TrayProcess::~TrayProcess() {
  if (m_process.hProcess == nullptr) return;
  if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(m_process.hProcess, 99);
    ::WaitForSingleObject(m_process.hProcess, 5000);
  }
  ::CloseHandle(m_process.hProcess);
  ::CloseHandle(m_process.hThread);
}

std::optional<DWORD> TrayProcess::Wait(int limitMs) {
  if (m_process.hProcess == nullptr) return std::nullopt;
  if (::WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(limitMs)) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(m_process.hProcess, &code);
  return code;
}

std::string TrayProcess::Trace() const { return ReadShared(m_traceFile); }

bool TrayProcess::WaitForTrace(const std::string& text, int limitMs) const {
  return WaitUntil([&] { return TraceHas(text); }, limitMs);
}

size_t TrayProcess::CountInTrace(const std::string& text) const {
  size_t count = 0;
  for (const std::string& line : Lines(Trace()))
    if (line == text) ++count;
  return count;
}

// ---- messages and helpers ----

HWND WaitForFrame(int limitMs) {
  HWND frame = nullptr;
  WaitUntil([&] { return (frame = ::FindWindowW(L"Netvane_CLASS", nullptr)) != nullptr; }, limitMs);
  return frame;
}

LRESULT SendCopyData(HWND frame, uintptr_t command, const std::string& payload) {
  COPYDATASTRUCT data{};
  data.dwData = command;
  data.cbData = static_cast<DWORD>(payload.size());
  data.lpData = payload.empty() ? nullptr : const_cast<char*>(payload.data());
  return ::SendMessageW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

std::vector<std::string> LineChanges() {
  wchar_t unixPath[1024];
  const DWORD n = ::GetEnvironmentVariableW(L"NV_MODEMSHIM_LOG", unixPath, 1024);
  if (n == 0 || n >= 1024) return {};
  std::wstring path = L"Z:" + std::wstring(unixPath, n);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  std::vector<std::string> levels;
  for (const std::string& line : Lines(ReadShared(path))) {
    const size_t at = line.find(" DTR=");
    if (at != std::string::npos) levels.push_back(line.substr(at + 1));
  }
  return levels;
}

bool TakeScreenshot(const std::string& unixPath, const std::string& desktopTitle, int limitMs) {
  std::wstring winPath = nv::text::Widen("Z:" + unixPath);
  std::replace(winPath.begin(), winPath.end(), L'/', L'\\');
  ::DeleteFileW(winPath.c_str());
  // The program's own virtual desktop when there is one (other programs may share the display);
  // written beside and renamed when complete, so a half-written file is never taken.
  const std::string script = "id=$(xdotool search --name '" + desktopTitle + "' 2>/dev/null | head -n 1); " +
                             "/usr/bin/import -window \"${id:-root}\" png:'" + unixPath + ".part' && mv '" +
                             unixPath + ".part' '" + unixPath + "'";
  // The test's own windows need no painting meanwhile.
  return nv::testing::RunLinuxShell(
      script, unixPath, [] {}, limitMs);
}

}  // namespace nv::app::testing
