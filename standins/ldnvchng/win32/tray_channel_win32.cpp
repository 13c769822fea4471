#include "tray_channel_win32.h"

// shellapi.h after the windows.h types.
#include <shellapi.h>

#include "platform/text.h"

namespace ldnvchng {
namespace {

constexpr const wchar_t* kFrameClass = L"Netvane_CLASS";
constexpr const wchar_t* kProductKey = L"SOFTWARE\\Tarn\\Netvane-H";
constexpr UINT kWmNvChange = WM_USER + 100;
constexpr size_t kDisplayNameLength = 10;  // the tray program shows names cut to this

std::wstring Below(const wchar_t* subkey) {
  return *subkey == L'\0' ? kProductKey : std::wstring(kProductKey) + L"\\" + subkey;
}

std::optional<uint32_t> ReadNumber(const wchar_t* subkey, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, Below(subkey).c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::wstring> ReadText(const wchar_t* subkey, const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, Below(subkey).c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(value);
}

}  // namespace

Win32TrayChannel::Win32TrayChannel(unsigned answerLimitMs) : m_limitMs(answerLimitMs) {}

bool Win32TrayChannel::Running() {
  m_frame = ::FindWindowW(kFrameClass, nullptr);
  return m_frame != nullptr;
}

bool Win32TrayChannel::AcceptsRequests() { return ReadNumber(L"", L"UseDll").value_or(0) != 0; }

bool Win32TrayChannel::Send(UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  if (m_frame == nullptr) return false;
  DWORD_PTR answer = 0;
  // A hung tray program must not hang the scripts that call this helper.
  const bool answered = ::SendMessageTimeoutW(m_frame, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                              m_limitMs, &answer) != 0;
  if (result != nullptr) *result = answer;
  return answered;
}

Answer Win32TrayChannel::SendCommand(uint32_t command) {
  COPYDATASTRUCT data{};
  data.dwData = command;
  DWORD_PTR taken = 0;
  if (!Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), &taken)) return Answer::kNoAnswer;
  // The tray program answers FALSE while a change runs.
  return taken != FALSE ? Answer::kTaken : Answer::kBusy;
}

void Win32TrayChannel::Wait(unsigned ms) { ::Sleep(ms); }

bool Win32TrayChannel::SendChange() { return Send(kWmNvChange, 0, 0); }

std::optional<uint32_t> Win32TrayChannel::StoredStatus() { return ReadNumber(L"Status", L"dwNet"); }

std::string Win32TrayChannel::NetworkName(int network) {
  const auto name = ReadText(L"AdOpt", network == 0 ? L"szNet0" : L"szNet1");
  if (!name) return {};
  return nv::text::Narrow(name->substr(0, kDisplayNameLength));
}

std::string Win32TrayChannel::StartTray() {
  const auto folder = ReadText(L"", L"InstalledPath");
  if (!folder || folder->empty()) return "InstalledPath is not set.";
  std::wstring program = *folder;
  if (program.back() != L'\\') program += L'\\';
  program += L"Netvane.exe";
  // Through the shell, so that a program that needs administrator rights is elevated.
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpDirectory = folder->c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&info))
    return "cannot start " + nv::text::Narrow(program) + " (error " + std::to_string(::GetLastError()) + ").";
  return {};
}

}  // namespace ldnvchng
