#include "update_dialog.h"

// The common-control and shell headers need the types of windows.h first.
#include "platform/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>

#include "message_box.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "server_dialog.h"

namespace nv::updater {
namespace {

constexpr UINT kStatusMessage = WM_APP + 1;  // lParam: a std::string the dialog takes over
constexpr UINT kAskMessage = WM_APP + 2;     // lParam: the question; returns IDYES or IDNO
constexpr UINT kDoneMessage = WM_APP + 3;    // lParam: the RunOutcome the dialog takes over

std::string JsonText(const std::string& text) {
  std::string json;
  for (char c : text) {
    if (c == '"' || c == '\\') json += '\\';
    if (static_cast<unsigned char>(c) >= 0x20) json += c;
  }
  return json;
}

// The audit trail the tray program keeps: the launcher's event source when it is registered,
// else "<installation folder>\Log\audit.jsonl".
void WriteAudit(const std::string& installedPath, const std::string& text) {
  const wchar_t* source = L"NvMGR";
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NvMGR", 0, KEY_READ,
                      &key) == ERROR_SUCCESS) {
    ::RegCloseKey(key);
    if (HANDLE log = ::RegisterEventSourceW(nullptr, source)) {
      const std::wstring wide = nv::text::Widen("Updagent: " + text);
      const wchar_t* strings[] = {wide.c_str()};
      const BOOL reported =
          ::ReportEventW(log, EVENTLOG_WARNING_TYPE, 0, 1001, nullptr, 1, 0, strings, nullptr);
      ::DeregisterEventSource(log);
      if (reported) return;
    }
  }
  const std::wstring folder = nv::text::Widen(installedPath + "\\Log");
  ::CreateDirectoryW(folder.c_str(), nullptr);
  SYSTEMTIME now{};
  ::GetSystemTime(&now);
  char time[32];
  std::snprintf(time, sizeof time, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  const std::string line = std::string("{\"time\":\"") + time + "\",\"program\":\"Updagent\",\"event\":\"" +
                           JsonText(text) + "\"}\r\n";
  HANDLE file = ::CreateFileW((folder + L"\\audit.jsonl").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    CDebug::dprintf("Updagent: audit not written (%lu): %s\n", ::GetLastError(), text.c_str());
    return;
  }
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
}

class RunSettings final : public IRunSettings {
 public:
  RunSettings(const CUpdateSettings& settings, std::string installedPath)
      : m_settings(settings), m_installed(std::move(installedPath)) {}
  void SetLastServerName(const std::string& name) override { m_settings.SetLastServerName(name); }
  void SetCwd(const std::string& dir) override { m_settings.SetCwd(dir); }
  std::string UpdatePublicKey() override { return m_settings.UpdatePublicKey(); }
  bool RequireVerifiedUpdates() override { return m_settings.RequireVerifiedUpdates(); }
  uint32_t InstalledSequence() override { return m_settings.InstalledSequence(); }
  void SetInstalledSequence(uint32_t sequence) override { m_settings.SetInstalledSequence(sequence); }
  void Audit(const std::string& text) override {
    CDebug::dprintf("Updagent: audit: %s\n", text.c_str());
    WriteAudit(m_installed, text);
  }

 private:
  const CUpdateSettings& m_settings;
  std::string m_installed;
};

class ShellHandOver final : public IHandOverActions {
 public:
  ShellHandOver(HWND tray, int command) : m_tray(tray), m_command(command) {}
  void SendCommandToTray() override {
    // The process is held before the command goes, so that its end is seen however soon it comes.
    DWORD pid = 0;
    ::GetWindowThreadProcessId(m_tray, &pid);
    if (pid != 0 && pid != ::GetCurrentProcessId())
      m_trayProcess.reset(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    CDebug::dprintf("Updagent: command %d to the tray program (process %lu)\n", m_command, pid);
    ::PostMessageW(m_tray, WM_COMMAND, MAKEWPARAM(m_command, 0), 0);
  }
  bool WaitForTrayToEnd(unsigned limitMs) override {
    if (!m_trayProcess) return true;
    const ULONGLONG start = ::GetTickCount64();
    const bool ended = ::WaitForSingleObject(m_trayProcess.get(), limitMs) == WAIT_OBJECT_0;
    CDebug::dprintf("Updagent: the tray program %s after %llu ms\n", ended ? "ended" : "still runs",
                    static_cast<unsigned long long>(::GetTickCount64() - start));
    return ended;
  }
  bool StartProgram(const std::string& program, const std::string& parameters) override {
    const std::wstring file = nv::text::Widen(program);
    const std::wstring params = nv::text::Widen(parameters);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", file.c_str(), params.c_str(), nullptr, SW_SHOWNORMAL));
    CDebug::dprintf("Updagent: open %s %s (%d)\n", program.c_str(), parameters.c_str(),
                    static_cast<int>(result));
    return result > 32;
  }

 private:
  HWND m_tray;
  int m_command;
  nv::win32::UniqueKernelHandle m_trayProcess;
};

}  // namespace

UpdateDialog::UpdateDialog(const UpdateProgram& program)
    : m_program(program), m_settings(ProductKeyPath(program.makerKey, program.productKey)) {}

UpdateDialog::~UpdateDialog() {
  m_stop = true;
  if (m_worker.joinable()) m_worker.join();
}

void UpdateDialog::SetText(int id, const std::string& text) {
  ::SetDlgItemTextW(hwnd(), id, nv::text::Widen(text).c_str());
}

int UpdateDialog::Message(const std::string& text, unsigned type, int unattendedAnswer) {
  return ShowMessageBox(hwnd(), m_program.texts.title, text, type, unattendedAnswer);
}

void UpdateDialog::OnInit() {
  const UpdateTexts& t = m_program.texts;
  ::SetWindowTextW(hwnd(), nv::text::Widen(t.title).c_str());
  m_font = ApplyFontFace(hwnd(), t.fontFace);
  SetText(IDC_UPDATE_SERVER_LABEL, t.serverName);
  SetText(IDC_UPDATE_TOTAL_LABEL, t.total);
  SetText(IDC_UPDATE_FILE_LABEL, t.down);
  SetText(IDC_UPDATE_START, t.startUpdate);
  SetText(IDC_UPDATE_STOP, t.stopUpdate);
  SetText(IDC_UPDATE_SERVERCONF, t.serverConf);
  SetText(IDCANCEL, t.exit);
  ::EnableWindow(Item(IDC_UPDATE_STOP), FALSE);
  m_settings.EnsureKeys();
  FillServers();
  // Said before anything is fetched: without a key, whatever arrives is installed.
  if (m_settings.UpdatePublicKey().find_first_not_of(" \t\r\n") == std::string::npos) {
    const std::string& text = m_settings.RequireVerifiedUpdates() ? t.verifiedRequired : t.unverified;
    SetText(IDC_UPDATE_TRUST, text);
    CDebug::dprintf("Updagent: shown: %s\n", text.c_str());
  }
}

void UpdateDialog::FillServers() {
  HWND combo = Item(IDC_UPDATE_SERVER);
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  std::vector<std::string> names{kBuiltInServerName};
  for (const auto& name : m_settings.ServerNames()) names.push_back(name);
  const std::string last = m_settings.LastServerName();
  int selected = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nv::text::Widen(names[i]).c_str()));
    if (names[i] == last && selected == 0) selected = static_cast<int>(i);
  }
  ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void UpdateDialog::OnCommand(int id, int) {
  switch (id) {
    case IDC_UPDATE_START:
      if (!m_running) Start();
      break;
    case IDC_UPDATE_STOP:
      if (m_running) AskStop();
      break;
    case IDC_UPDATE_SERVERCONF:
      if (!m_running) {
        ServerDialog editor(m_settings, m_program.texts);
        if (editor.RunModal(m_program.resources, IDD_UPDATE_SERVER, hwnd()) == IDOK) FillServers();
      }
      break;
    case IDCANCEL:
      if (m_running) {
        AskStop();
      } else {
        ::EndDialog(hwnd(), IDCANCEL);
      }
      break;
    default:
      break;
  }
}

void UpdateDialog::AskStop() {
  if (Message(m_program.texts.askStop, MB_YESNO | MB_ICONQUESTION, IDYES) == IDYES) m_stop = true;
}

void UpdateDialog::Start() {
  RunRequest request;
  const int index = static_cast<int>(::SendMessageW(Item(IDC_UPDATE_SERVER), CB_GETCURSEL, 0, 0));
  if (index < 0) {
    request.serverName = kBuiltInServerName;
    request.endpoint = {m_program.defaults.address, "anonymous", m_program.defaults.noSelectionPassword};
  } else {
    wchar_t shown[256] = {};
    ::SendMessageW(Item(IDC_UPDATE_SERVER), CB_GETLBTEXT, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(shown));
    request.serverName = nv::text::Narrow(shown);
    request.endpoint =
        EndpointFromText(m_settings.ServerTextOf(m_settings.ServerNameAt(index)), m_program.defaults);
  }
  request.port = m_program.port;
  request.remoteDir = m_program.productKey;
  request.makerKey = m_program.makerKey;
  request.programPath = m_program.programPath;
  request.list = m_program.list;

  m_stop = false;
  m_running = true;
  ::EnableWindow(Item(IDC_UPDATE_START), FALSE);
  ::EnableWindow(Item(IDC_UPDATE_SERVERCONF), FALSE);
  ::EnableWindow(Item(IDC_UPDATE_STOP), TRUE);
  ::SendMessageW(Item(IDC_UPDATE_TOTAL), PBM_SETPOS, 0, 0);
  ::SendMessageW(Item(IDC_UPDATE_FILE), PBM_SETPOS, 0, 0);
  HWND dialog = hwnd();
  m_worker = std::thread([this, request, dialog] {
    RunSettings settings(m_settings, m_program.installedPath);
    ShellHandOver actions(m_program.trayWindow, m_program.exitCommand);
    auto ftp = NewNativeFtpSession();
    auto* outcome = new RunOutcome(RunUpdate(
        request, m_program.texts,
        {*ftp, NativeFileSystem(), NativeFileVersionReader(), NativeCrypto(), settings, actions, *this},
        m_stop));
    if (!::PostMessageW(dialog, kDoneMessage, 0, reinterpret_cast<LPARAM>(outcome))) delete outcome;
  });
}

void UpdateDialog::Finished(RunOutcome* raw) {
  std::unique_ptr<RunOutcome> outcome(raw);
  if (m_worker.joinable()) m_worker.join();
  m_running = false;
  CDebug::dprintf("Updagent: run ended (%d) %s\n", static_cast<int>(outcome->end), outcome->message.c_str());
  if (outcome->end == RunEnd::kHandedOver) {
    ::EndDialog(hwnd(), IDOK);
    return;
  }
  ::EnableWindow(Item(IDC_UPDATE_START), TRUE);
  ::EnableWindow(Item(IDC_UPDATE_SERVERCONF), TRUE);
  ::EnableWindow(Item(IDC_UPDATE_STOP), FALSE);
  if (!outcome->message.empty()) {
    const bool info = outcome->end == RunEnd::kNothingToUpdate;
    Message(outcome->message, MB_OK | (info ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
  }
  SetText(IDC_UPDATE_STATUS, outcome->end == RunEnd::kStopped ? m_program.texts.stopUpdate : "");
}

INT_PTR UpdateDialog::OnOther(UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case kStatusMessage: {
      std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
      SetText(IDC_UPDATE_STATUS, *text);
      return TRUE;
    }
    case kAskMessage: {
      const auto* question = reinterpret_cast<const std::string*>(lParam);
      const int answer = Message(*question, MB_YESNO | MB_ICONQUESTION, IDNO);
      ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, answer);
      return TRUE;
    }
    case kDoneMessage:
      Finished(reinterpret_cast<RunOutcome*>(lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

void UpdateDialog::ShowStatus(const std::string& text) {
  auto* copy = new std::string(text);
  if (!::PostMessageW(hwnd(), kStatusMessage, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
}

void UpdateDialog::ShowTotalProgress(int percent) {
  ::PostMessageW(Item(IDC_UPDATE_TOTAL), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void UpdateDialog::ShowFileProgress(int percent) {
  ::PostMessageW(Item(IDC_UPDATE_FILE), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

bool UpdateDialog::Ask(const std::string& text) {
  return ::SendMessageW(hwnd(), kAskMessage, 0, reinterpret_cast<LPARAM>(&text)) == IDYES;
}

}  // namespace nv::updater
