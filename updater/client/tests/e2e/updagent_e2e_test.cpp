// Updagent.exe and continue.exe under Wine against a real FTP server on 127.0.0.1 (started by
// run_with_ftp.sh): the test drives the update dialog by its caption and control ids, reads the
// outcome from the trace (message boxes become trace lines), then checks what the finisher
// installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "nvres/nvres_ids.h"
#include "platform/testing/screenshot.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <commctrl.h>

namespace {

using nv::text::Narrow;
using nv::text::Widen;

constexpr int kExitCommand = 5007;
const wchar_t* kProductKey = L"Software\\Tarn\\Netvane-H";

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? value : L"";
}

// A Unix path as Wine shows it.
std::wstring FromUnix(const std::wstring& path) {
  std::wstring result = L"Z:" + path;
  for (auto& c : result) c = c == L'/' ? L'\\' : c;
  return result;
}

std::wstring BuildFolder() {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, n);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Pumps this thread's messages (the stand-in tray window) while waiting.
bool WaitUntil(const std::function<bool()>& done, int limitMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    if (done()) return true;
    ::Sleep(50);
  }
  return done();
}

void SetRegistry(const std::wstring& subkey, const std::wstring& name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

void SetRegistry(const std::wstring& subkey, const std::wstring& name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  ::RegCloseKey(key);
}

class UpdagentE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring root = Env(L"NV_FTP_ROOT");
    ASSERT_FALSE(root.empty()) << "run through run_with_ftp.sh";
    m_serverDir = FromUnix(root) + L"\\Netvane-H";
    m_ftpLog = FromUnix(Env(L"NV_FTP_LOG"));
    m_port = Env(L"NV_FTP_PORT");

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    m_base = std::wstring(temp) + L"nv-updagent-e2e-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
    m_install = m_base + L"\\Netvane";
    ::CreateDirectoryW(m_base.c_str(), nullptr);
    ::CreateDirectoryW(m_install.c_str(), nullptr);
    for (const wchar_t* name :
         {L"Updagent.exe", L"continue.exe", L"Corekit.dll", L"NvRes.dll", L"restart_marker.exe"}) {
      ASSERT_TRUE(
          ::CopyFileW((BuildFolder() + L"\\" + name).c_str(), (m_install + L"\\" + name).c_str(), FALSE))
          << Narrow(name);
    }
    ASSERT_TRUE(::CopyFileW((Widen(NV_STRINGS_DIR) + L"\\NetvaneENG.ini").c_str(),
                            (m_install + L"\\NetvaneENG.ini").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((BuildFolder() + L"\\versioned_122.dll").c_str(),
                            (m_install + L"\\a.dll").c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((BuildFolder() + L"\\versioned_123.dll").c_str(),
                            (m_install + L"\\b.dll").c_str(), FALSE));
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    m_systemFile = std::wstring(system) + L"\\nvupdtest-c.dll";
    ::DeleteFileW(m_systemFile.c_str());

    SetRegistry(kProductKey, L"InstalledPath", m_install);
    SetRegistry(std::wstring(kProductKey) + L"\\Update\\Server", L"1", L"LOCAL");
    SetRegistry(std::wstring(kProductKey) + L"\\Update\\Server", L"2", L"PLAIN");
    SetRegistry(std::wstring(kProductKey) + L"\\Update\\ServerList", L"LOCAL", L"user:pw:127.0.0.1");
    SetRegistry(std::wstring(kProductKey) + L"\\Update\\ServerList", L"PLAIN", L"no colon here");
    SetRegistry(std::wstring(kProductKey) + L"\\Update\\ServerNum", L"Count", 2);
  }

  // The stand-in tray program (tray_standin.exe), a process of its own as the real one is: Updagent
  // waits for it to end. On the exit command it holds `hold` (if any) for `holdMs`, then ends.
  void StartTray(const std::wstring& hold = L"", int holdMs = 0) {
    StopTray();
    ::DeleteFileW((m_base + L"\\tray-window.txt").c_str());
    ::DeleteFileW((m_base + L"\\tray-command.txt").c_str());
    std::wstring command =
        L"\"" + BuildFolder() + L"\\tray_standin.exe\" \"" + m_base + L"\" " + std::to_wstring(kExitCommand);
    if (!hold.empty()) command += L" \"" + hold + L"\" " + std::to_wstring(holdMs);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                                 &m_trayProcess));
    ::CloseHandle(m_trayProcess.hThread);
    ASSERT_TRUE(WaitUntil([&] { return !ReadFile(m_base + L"\\tray-window.txt").empty(); }, 20000));
    m_tray =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::stoull(ReadFile(m_base + L"\\tray-window.txt"))));
  }
  void StopTray() {
    if (m_trayProcess.hProcess == nullptr) return;
    if (::WaitForSingleObject(m_trayProcess.hProcess, 0) != WAIT_OBJECT_0)
      ::TerminateProcess(m_trayProcess.hProcess, 9);
    ::CloseHandle(m_trayProcess.hProcess);
    m_trayProcess.hProcess = nullptr;
    m_tray = nullptr;
  }
  bool TrayRuns() const {
    return m_trayProcess.hProcess != nullptr &&
           ::WaitForSingleObject(m_trayProcess.hProcess, 0) == WAIT_TIMEOUT;
  }
  bool TrayCommanded() const { return Exists(m_base + L"\\tray-command.txt"); }

  void TearDown() override {
    StopTray();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
    ::DeleteFileW(m_systemFile.c_str());
    // The finisher may still be closing: its files go once it has.
    WaitUntil(
        [&] {
          RemoveTree(m_base);
          return !Exists(m_base);
        },
        10000);
  }

  static void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = dir + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          ::DeleteFileW(path.c_str());
        }
      } while (::FindNextFileW(find, &data));
      ::FindClose(find);
    }
    ::RemoveDirectoryW(dir.c_str());
  }

  // Starts Updagent.exe with the tray program's five arguments; its trace goes to a file.
  void LaunchUpdagent(const std::wstring& extraEnvironment = L"") {
    m_trace = m_base + L"\\trace-" + std::to_wstring(++m_runs) + L".txt";
    std::wstring block;
    const std::vector<std::wstring> ours = {L"NV_TRACE=1",
                                            L"NV_NO_MESSAGEBOX=1",
                                            L"NV_TRACE_FILE=" + m_trace,
                                            L"NV_UPDATE_FTP_PORT=" + m_port,
                                            L"NV_UPDATE_DEFAULT_SERVER=127.0.0.1",
                                            extraEnvironment};
    for (const std::wstring& entry : ours) {
      if (!entry.empty()) block += entry + L'\0';
    }
    // Keep the rest of this process's environment (Wine needs its own variables).
    wchar_t* own = ::GetEnvironmentStringsW();
    for (const wchar_t* p = own; *p; p += wcslen(p) + 1) {
      const std::wstring entry = p;
      if (entry.rfind(L"NV_", 0) != 0) block += entry + L'\0';
    }
    ::FreeEnvironmentStringsW(own);
    block += L'\0';
    std::wstring command = L"\"" + m_install + L"\\Updagent.exe\" Tarn Netvane-H " +
                           std::to_wstring(reinterpret_cast<uintptr_t>(m_tray)) + L"l " +
                           std::to_wstring(kExitCommand) + L" \"" + m_install + L"\\restart_marker.exe\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                 block.data(), m_install.c_str(), &si, &m_process));
    ::CloseHandle(m_process.hThread);
  }
  void StartUpdagent(const std::wstring& extraEnvironment = L"") {
    if (!TrayRuns()) StartTray();
    LaunchUpdagent(extraEnvironment);
    ASSERT_TRUE(WaitUntil([&] { return (m_dialog = FindDialog()) != nullptr; }, 30000)) << "no update dialog";
  }

  HWND FindDialog() const { return FindWindowOf(L"Netvane Update", true); }
  // A visible window of the program with this caption, with or without the dialog's Start button.
  HWND FindWindowOf(const std::wstring& caption, bool dialog) const {
    struct Search {
      DWORD pid;
      const std::wstring& caption;
      bool dialog;
      HWND found;
    } search{m_process.dwProcessId, caption, dialog, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lParam);
          DWORD pid = 0;
          ::GetWindowThreadProcessId(hwnd, &pid);
          wchar_t text[128] = {};
          ::GetWindowTextW(hwnd, text, 128);
          if (pid == s->pid && text == s->caption && ::IsWindowVisible(hwnd) &&
              (::GetDlgItem(hwnd, IDC_UPDATE_START) != nullptr) == s->dialog) {
            s->found = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  void ChooseServer(int index) {
    ::SendMessageW(::GetDlgItem(m_dialog, IDC_UPDATE_SERVER), CB_SETCURSEL, index, 0);
  }
  void Press(int id) { ::PostMessageW(m_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  bool TraceHas(const std::string& text) const { return ReadFile(m_trace).find(text) != std::string::npos; }
  ::testing::AssertionResult WaitForTrace(const std::string& text, int limitMs = 60000) {
    if (WaitUntil([&] { return TraceHas(text); }, limitMs)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << text << "\" in the trace:\n" << ReadFile(m_trace);
  }
  // Closes an idle dialog and waits for the program to end; its exit code.
  DWORD CloseAndWait() {
    Press(IDCANCEL);
    return WaitForExit();
  }
  DWORD WaitForExit(int limitMs = 30000) {
    DWORD code = STILL_ACTIVE;
    WaitUntil([&] { return ::WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }, limitMs);
    ::GetExitCodeProcess(m_process.hProcess, &code);
    if (code == STILL_ACTIVE) ::TerminateProcess(m_process.hProcess, 9);
    ::CloseHandle(m_process.hProcess);
    m_process.hProcess = nullptr;
    return code;
  }
  void ServeList(const std::string& list) { WriteFile(m_serverDir + L"\\VerSion.txt", list); }
  void Serve(const std::wstring& name, const std::string& bytes) {
    WriteFile(m_serverDir + L"\\" + name, bytes);
  }
  bool HandOverListPresent() const { return Exists(m_install + L"\\VerSion.txt"); }
  std::string ItemText(int id) const {
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(m_dialog, id, text, 1024);
    return Narrow(text);
  }
  bool StagingEmpty() const {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((m_install + L"\\UpdateTemp\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
      const std::wstring name = data.cFileName;
      empty = empty && (name == L"." || name == L"..");
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return empty;
  }
  // A checked picture of the dialog (platform/testing/screenshot.h) into the artifacts folder.
  void Screenshot(const std::string& name) {
    nv::testing::ScreenshotOptions options;
    options.file = name;
    options.processes = {m_process.dwProcessId};
    options.pump = [] { WaitUntil([] { return false; }, 50); };
    const nv::testing::Screenshot shot =
        nv::testing::TakeWindowScreenshot(reinterpret_cast<std::uintptr_t>(m_dialog), options);
    EXPECT_TRUE(shot.ok) << name << ": " << shot.why;
  }

  std::wstring m_serverDir, m_ftpLog, m_port, m_base, m_install, m_systemFile, m_trace;
  HWND m_tray = nullptr;
  PROCESS_INFORMATION m_trayProcess{};
  HWND m_dialog = nullptr;
  PROCESS_INFORMATION m_process{};
  int m_runs = 0;
};

TEST_F(UpdagentE2E, DialogRunsAgainstARealServerThenTheFinisherInstalls) {
  const std::string newA = ReadFile(BuildFolder() + L"\\versioned_123.dll");
  const std::string oldB = ReadFile(m_install + L"\\b.dll");
  ASSERT_FALSE(newA.empty());

  {
    SCOPED_TRACE("a server text without a colon: anonymous at the default address, nothing newer");
    ServeList("b.dll|ALL|ALL|INSTALLEDPATH|1.2.3|||NONE\r\n");
    StartUpdagent();
    // No key: the dialog says so before anything is fetched.
    EXPECT_TRUE(WaitUntil([&] { return !ItemText(IDC_UPDATE_TRUST).empty(); }, 10000));
    EXPECT_EQ(
        ItemText(IDC_UPDATE_TRUST),
        "Updates from this server are not verified: no update key is configured, so any file the server or "
        "the network sends is installed.");
    EXPECT_EQ(ReadFile(m_ftpLog).find("RETR"), std::string::npos);
    Screenshot("dialog-update-unverified.png");
    ChooseServer(2);
    Press(IDC_UPDATE_START);
    EXPECT_TRUE(WaitForTrace("MessageBox(Netvane Update): Update already Complete"));
    EXPECT_NE(ReadFile(m_ftpLog).find("[anonymous] USER 'anonymous' logged in"), std::string::npos);
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
  }
  {
    SCOPED_TRACE("a file that no listing shows: the write-protect text after 6 listings");
    ServeList("missing.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\n");
    StartUpdagent();
    ChooseServer(1);
    Press(IDC_UPDATE_START);
    EXPECT_TRUE(WaitForTrace("MessageBox(Netvane Update): The file could not be written."));
    EXPECT_TRUE(TraceHas("missing.dll not listed (listing 6 of 6)"));
    EXPECT_FALSE(TraceHas("listing 7"));
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
  }
  {
    SCOPED_TRACE("a connection dropped mid-file leaves no hand-over list");
    ServeList("dropme.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\n");
    Serve(L"dropme.dll", std::string(300000, 'd'));
    StartUpdagent();
    Press(IDC_UPDATE_START);
    EXPECT_TRUE(WaitForTrace("MessageBox(Netvane Update): The file could not be read from the server."));
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
  }
  {
    SCOPED_TRACE("Stop mid-file");
    ServeList("big.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\n");
    Serve(L"big.dll", std::string(6 << 20, 'b'));  // about 12 s at the server's rate
    StartUpdagent();
    Press(IDC_UPDATE_START);
    HWND fileBar = ::GetDlgItem(m_dialog, IDC_UPDATE_FILE);
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageW(fileBar, PBM_GETPOS, 0, 0) >= 5; }, 30000));
    Press(IDC_UPDATE_STOP);
    EXPECT_TRUE(WaitForTrace("MessageBox(Netvane Update): Stop the update?"));
    EXPECT_TRUE(WaitForTrace("run ended (2)", 20000));
    EXPECT_LT(::SendMessageW(fileBar, PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
  }
  {
    SCOPED_TRACE("two lines that reach one staged file: nothing is staged");
    ServeList("c.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\nC.DLL.|ALL|ALL|SYSDIR|1.0.0\r\n");
    Serve(L"c.dll", "one");
    StartUpdagent();
    Press(IDC_UPDATE_START);
    EXPECT_TRUE(
        WaitForTrace("MessageBox(Netvane Update): The update was refused: two lines of the list of versions "
                     "name one file."));
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
    EXPECT_TRUE(StagingEmpty());
    EXPECT_EQ(ReadFile(m_ftpLog).find("RETR c.dll"), std::string::npos);
  }
  {
    SCOPED_TRACE("newer files staged and handed over; continue.exe installs them");
    ServeList(
        "# the product's files\r\n"
        "a.dll|ALL|ALL|INSTALLEDPATH|1.2.3|Restart||NONE\r\n"
        "b.dll|ALL|ALL|INSTALLEDPATH|1.2.3|||NONE\r\n"
        "nvupdtest-c.dll|ALL|ALL|SYSDIR|1.0.0\r\n"
        "t.dll|ALL|ALL|INSTALLEDPATH|1.0.0\r\n"
        "..\\..\\x.exe|ALL|ALL||9.9.9\r\n"
        "x.exe|ALL|ALL|WINDIR\\..\\..|9.9.9\r\n");
    Serve(L"a.dll", newA);
    Serve(L"t.dll", "new t");
    const std::string oldT = "MZ the installed t.dll, no version resource";
    WriteFile(m_install + L"\\t.dll", oldT);
    Serve(L"b.dll", "must not be fetched");
    Serve(L"nvupdtest-c.dll", "system file");
    Serve(L"x.exe", "escaped");
    // The tray program keeps a.dll in use for 3 s after the exit command, as it does while it
    // changes back to network A: Updagent waits for it to end before continue starts.
    StartTray(m_install + L"\\a.dll", 3000);
    StartUpdagent();
    Press(IDC_UPDATE_START);
    // Someone swaps a staged file after it was downloaded and hashed (while the tray program ends).
    ASSERT_TRUE(WaitUntil([&] { return TrayCommanded(); }, 60000));
    WriteFile(m_install + L"\\UpdateTemp\\t.dll", "MZ planted");
    EXPECT_EQ(WaitForExit(60000), 0u);
    EXPECT_TRUE(TraceHas("Updagent: the tray program ended after")) << ReadFile(m_trace);
    EXPECT_LT(ReadFile(m_trace).find("the tray program ended after"),
              ReadFile(m_trace).find("Updagent: open "))
        << "continue started before the tray program ended";
    EXPECT_TRUE(TraceHas("no update key configured, the update is not verified"));
    EXPECT_TRUE(WaitUntil([&] { return Exists(m_install + L"\\restarted.txt"); }, 30000))
        << "program not restarted";
    EXPECT_TRUE(WaitUntil([&] { return !HandOverListPresent(); }, 10000));
    EXPECT_EQ(ReadFile(m_install + L"\\a.dll"), newA);
    EXPECT_EQ(ReadFile(m_install + L"\\b.dll"), oldB);
    EXPECT_EQ(ReadFile(m_systemFile), "system file");
    EXPECT_EQ(ReadFile(m_install + L"\\t.dll"), oldT) << "a changed staged file was installed";
    EXPECT_TRUE(
        WaitForTrace("MessageBox(Netvane-H): t.dll could not be installed; the installed file was kept."));
    EXPECT_TRUE(TraceHas("is not the file that was downloaded and checked"));
    // Unverified updates are on the audit trail.
    EXPECT_NE(ReadFile(m_install + L"\\Log\\audit.jsonl").find("NOT VERIFIED"), std::string::npos);
    EXPECT_TRUE(Exists(m_install + L"\\orgcontinue.exe"));
    EXPECT_FALSE(Exists(m_install + L"\\UpdateTemp\\b.dll"));
    for (const std::wstring& escaped :
         {m_base + L"\\x.exe", m_install + L"\\x.exe", m_install + L"\\UpdateTemp\\x.exe"}) {
      EXPECT_FALSE(Exists(escaped)) << Narrow(escaped);
    }
    EXPECT_TRUE(TraceHas("line refused, file name is not a plain name"));
    EXPECT_TRUE(TraceHas("line refused, target folder is not a safe absolute path"));
  }
}

// A shipped build: Updagent.exe over the Corekit.dll a build without test switches makes
// (bin/shipped/).  Every switch is set as the other cases set it, and each is ignored: the built-in
// server is asked, not this test's; a real message box comes up; the trace goes to the log folder,
// not to NV_TRACE_FILE.
TEST_F(UpdagentE2E, ShippedBuildIgnoresTheTestSwitches) {
  ASSERT_TRUE(::CopyFileW((BuildFolder() + L"\\shipped\\Corekit.dll").c_str(),
                          (m_install + L"\\Corekit.dll").c_str(), FALSE));
  ASSERT_TRUE(::CreateDirectoryW((m_install + L"\\Log").c_str(), nullptr));
  const std::wstring ownTrace = m_install + L"\\Log\\trace-Updagent.txt";
  ServeList("b.dll|ALL|ALL|INSTALLEDPATH|1.2.3|||NONE\r\n");
  const size_t ftpLogBefore = ReadFile(m_ftpLog).size();
  StartUpdagent();
  ChooseServer(2);  // no address of its own: the default server
  Press(IDC_UPDATE_START);
  // A failed connection ends the run quietly.
  ASSERT_TRUE(WaitUntil([&] { return ReadFile(ownTrace).find("run ended") != std::string::npos; }, 60000))
      << ReadFile(ownTrace);
  const std::string trace = ReadFile(ownTrace);
  EXPECT_NE(trace.find("cannot connect to update.tarn.example"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("127.0.0.1"), std::string::npos) << trace;
  EXPECT_FALSE(Exists(m_trace)) << "NV_TRACE_FILE was written";
  EXPECT_EQ(ReadFile(m_ftpLog).substr(ftpLogBefore).find("USER"), std::string::npos)
      << "the test's FTP server was asked";
  EXPECT_EQ(CloseAndWait(), 3u);

  // Without its resource library the program says so in a box, which stays until answered.
  ASSERT_TRUE(::DeleteFileW((m_install + L"\\NvRes.dll").c_str()));
  LaunchUpdagent();
  HWND box = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (box = FindWindowOf(L"Updagent", false)) != nullptr; }, 30000))
      << "no message box: NV_NO_MESSAGEBOX was honoured";
  EXPECT_EQ(::WaitForSingleObject(m_process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  if (box != nullptr) ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(WaitForExit(), 2u);
}

std::wstring RegistryText(const std::wstring& subkey, const std::wstring& name) {
  wchar_t value[256] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS) {
    return L"<none>";
  }
  return value;
}

TEST_F(UpdagentE2E, ServerEditorRewritesTheServerList) {
  StartUpdagent();
  Press(IDC_UPDATE_SERVERCONF);
  HWND editor = nullptr;
  ASSERT_TRUE(
      WaitUntil([&] { return (editor = ::FindWindowW(L"#32770", L"Update Servers")) != nullptr; }, 10000));
  const auto set = [&](int id, const wchar_t* text) {
    ::SendMessageW(::GetDlgItem(editor, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  };
  set(IDC_SERVER_NAME, L"mirror");
  set(IDC_SERVER_ADDR, L"10.1.2.3");
  set(IDC_SERVER_USER, L"upd");
  set(IDC_SERVER_PASS, L"s3cret");
  ::SendMessageW(editor, WM_COMMAND, MAKEWPARAM(IDC_SERVER_APPEND, BN_CLICKED), 0);
  HWND list = ::GetDlgItem(editor, IDC_SERVER_LIST);
  EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
  ::SendMessageW(list, LB_SETCURSEL, 0, 0);  // LOCAL
  ::SendMessageW(editor, WM_COMMAND, MAKEWPARAM(IDC_SERVER_DELETE, BN_CLICKED), 0);
  ::PostMessageW(editor, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(editor); }, 10000));

  const std::wstring update = std::wstring(kProductKey) + L"\\Update";
  EXPECT_EQ(RegistryText(update + L"\\Server", L"1"), L"PLAIN");
  EXPECT_EQ(RegistryText(update + L"\\Server", L"2"), L"MIRROR");
  EXPECT_EQ(RegistryText(update + L"\\Server", L"3"), L"<none>");
  EXPECT_EQ(RegistryText(update + L"\\ServerList", L"MIRROR"), L"upd:s3cret:10.1.2.3");
  EXPECT_EQ(RegistryText(update + L"\\ServerList", L"LOCAL"), L"<none>");
  DWORD count = 0, size = sizeof count;
  ::RegGetValueW(HKEY_LOCAL_MACHINE, (update + L"\\ServerNum").c_str(), L"Count", RRF_RT_REG_DWORD, nullptr,
                 &count, &size);
  EXPECT_EQ(count, 2u);
  // The dialog's list follows: the built-in entry, then the stored servers.
  EXPECT_EQ(::SendMessageW(::GetDlgItem(m_dialog, IDC_UPDATE_SERVER), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(CloseAndWait(), 3u);
}

TEST_F(UpdagentE2E, VerifiedUpdateThroughTheDialog) {
  const std::wstring signedDir = Env(L"NV_SIGNED_DIR");
  if (signedDir.empty()) GTEST_SKIP() << "openssl is missing: no signed list";
  const std::string list = ReadFile(FromUnix(signedDir) + L"\\VerSion.txt");
  const std::string signature = ReadFile(FromUnix(signedDir) + L"\\VerSion.txt.sig");
  const std::string file = ReadFile(FromUnix(signedDir) + L"\\signed.dll");
  ASSERT_FALSE(list.empty() || signature.empty() || file.empty());
  SetRegistry(std::wstring(kProductKey) + L"\\Update", L"szUpdateKey", Env(L"NV_SIGNED_KEY"));
  // Bit 0: a hex digit of the signature changes its value or stops being one (a case change would not).
  const auto flip = [](std::string s, size_t at) {
    s[at] ^= 0x01;
    return s;
  };
  const struct {
    const char* name;
    std::string list, signature, file;
    std::string refusal;  // empty: installed
  } cases[] = {
      {"one byte flipped in the list", flip(list, 4), signature, file,
       "The update was refused: the server's list of versions is not signed by the configured key."},
      {"one byte flipped in the signature", list, flip(signature, 7), file,
       "The update was refused: the server's list of versions is not signed by the configured key."},
      {"one byte flipped in the file", list, signature, flip(file, 50000),
       "The update was refused: a downloaded file does not match its checksum in the list."},
      {"valid signature and hash", list, signature, file, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ServeList(c.list);
    Serve(L"VerSion.txt.sig", c.signature);
    Serve(L"signed.dll", c.file);
    StartUpdagent();
    ChooseServer(1);
    Press(IDC_UPDATE_START);
    if (!c.refusal.empty()) {
      EXPECT_TRUE(WaitForTrace("MessageBox(Netvane Update): " + c.refusal));
      EXPECT_EQ(CloseAndWait(), 3u);
      EXPECT_FALSE(HandOverListPresent());
      EXPECT_FALSE(Exists(m_install + L"\\UpdateTemp\\signed.dll"));
      EXPECT_FALSE(Exists(m_install + L"\\signed.dll"));
      continue;
    }
    EXPECT_EQ(WaitForExit(60000), 0u);
    EXPECT_TRUE(TraceHas("the list's signature is valid"));
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(m_install + L"\\signed.dll") == file; }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return !HandOverListPresent(); }, 10000));
  }
  {
    SCOPED_TRACE("an older signed list after sequence 100 was installed");
    DWORD sequence = 0, size = sizeof sequence;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, (std::wstring(kProductKey) + L"\\Update").c_str(),
                             L"dwUpdateSequence", RRF_RT_REG_DWORD, nullptr, &sequence, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(sequence, 100u);
    ::DeleteFileW((m_install + L"\\signed.dll").c_str());
    ServeList(ReadFile(FromUnix(signedDir) + L"\\older\\VerSion.txt"));
    Serve(L"VerSion.txt.sig", ReadFile(FromUnix(signedDir) + L"\\older\\VerSion.txt.sig"));
    Serve(L"signed.dll", file);
    StartUpdagent();
    ChooseServer(1);
    Press(IDC_UPDATE_START);
    EXPECT_TRUE(
        WaitForTrace("MessageBox(Netvane Update): The update was refused: the server's list of versions is "
                     "older than the one "
                     "installed last."));
    EXPECT_EQ(CloseAndWait(), 3u);
    EXPECT_FALSE(HandOverListPresent());
    EXPECT_FALSE(Exists(m_install + L"\\signed.dll"));
  }
}

TEST_F(UpdagentE2E, ListsWithAByteOrderMarkOrInTheAnsiCodePageInstallWhereTheySay) {
  // A folder named in Korean, as an administrator's editor saves it in code page 949.
  ASSERT_EQ(::GetACP(), 949u) << "the test runs under a Korean locale (LANG=ko_KR.UTF-8)";
  const std::wstring korean = m_base + L"\\\uD55C\uAE00";
  std::string ansiBase;
  {
    char bytes[1024] = {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, m_base.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    ASSERT_GT(n, 1);
    ansiBase = bytes;
  }
  ServeList("\xEF\xBB\xBF# saved with a byte-order mark\r\nbom.dll|ALL|ALL|INSTALLEDPATH|1.0.0|Restart\r\n" +
            std::string("kor.dll|ALL|ALL|") + ansiBase + "\\\xC7\xD1\xB1\xDB|1.0.0\r\n");
  Serve(L"bom.dll", "from a marked list");
  Serve(L"kor.dll", "into a Korean folder");
  StartUpdagent();
  ChooseServer(1);
  Press(IDC_UPDATE_START);
  EXPECT_EQ(WaitForExit(60000), 0u) << ReadFile(m_trace);
  EXPECT_TRUE(WaitUntil([&] { return Exists(m_install + L"\\restarted.txt"); }, 30000)) << ReadFile(m_trace);
  EXPECT_EQ(ReadFile(m_install + L"\\bom.dll"), "from a marked list");
  EXPECT_EQ(ReadFile(korean + L"\\kor.dll"), "into a Korean folder") << ReadFile(m_trace);
  EXPECT_FALSE(TraceHas("line refused"));
}

}  // namespace
