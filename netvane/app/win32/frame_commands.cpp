// The tray menu's commands other than change and exit: the About box, the update client, the
// IP configuration dialogs with the restart question, the advanced option sheet and the help.
#include "platform/windows_api.h"
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include "corekit/debug.h"
#include "corekit/psapi.h"
#include "main_frame.h"
#include "message_box.h"
#include "netvane/win32/about_box.h"
#include "netvane/win32/ip_dialogs.h"
#include "netvane/win32/option_sheet.h"
#include "netvane_app.h"
#include "platform/text.h"
#include "program_starter_win32.h"
#include "update_agent.h"

namespace {

nv::ui::DialogContext DialogsOf(CNetvaneApp& app) { return {app.resources(), &app.strings()}; }

}  // namespace

void CMainFrame::OnTrayAbout() {
  CDebug::dprintf("OnTrayAbout\n");
  RegisterRunOnce();
  nv::ui::FileVersionSource version;
  nv::ui::CAboutBox(DialogsOf(m_app), version).DoModal(m_hwnd);
}

void CMainFrame::OnTrayUpdate() {
  CDebug::dprintf("OnTrayUpdate\n");
  CPSAPI processes;
  if (HWND running = processes.FindWindowX(nv::app::kUpdateAgentImage)) {
    ::SetForegroundWindow(running);
    return;
  }
  wchar_t self[MAX_PATH * 4] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, static_cast<DWORD>(std::size(self)));
  const std::string parameters = nv::app::UpdateAgentParameters(
      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_hwnd)), nv::core::ID_TRAY_EXIT,
      nv::text::Narrow(std::wstring_view(self, length)));
  const std::wstring file = nv::text::Widen(nv::app::kUpdateAgentImage);
  const std::wstring args = nv::text::Widen(parameters);
  const std::wstring folder = nv::text::Widen(m_cfg.InstalledPath);

  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = m_hwnd;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = args.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The update client keeps this program's token: it writes the installation folder.
  CDebug::dprintf("OnTrayUpdate: %s starts with %s\n", nv::app::kUpdateAgentImage,
                  nv::app::TokenName(nv::app::TokenForStart(nv::app::StartedProgram::kUpdateClient, false)));
  // A client that cannot be started is not reported.
  if (!::ShellExecuteExW(&info)) {
    CDebug::dprintf("OnTrayUpdate: %s not started (%lu)\n", nv::app::kUpdateAgentImage, ::GetLastError());
    return;
  }
  if (info.hProcess != nullptr) {
    ::WaitForInputIdle(info.hProcess, INFINITE);
    ::CloseHandle(info.hProcess);
  }
}

void CMainFrame::OnTrayCfg() {
  CDebug::dprintf("OnTrayCfg\n");
  RegisterRunOnce();
  m_switch.DisconnectRG();
  bool askReboot = false;
  if (m_cfg.dwIPnum == 2) {
    nv::ui::CIp2CfgDialog dialog(DialogsOf(m_app), m_cfg, m_app.os(), nv::ui::SystemNicList());
    askReboot = dialog.DoModal(m_hwnd) == IDOK;
  } else {
    // After a first configuration Windows must restart, whatever the dialog's answer.
    askReboot = m_cfg.net[0].szNetDev.empty();
    nv::ui::CIp1CfgDialog dialog(DialogsOf(m_app), m_cfg, m_app.os(), nv::ui::SystemNicList());
    dialog.DoModal(m_hwnd);
  }
  if (askReboot) {
    // Unattended runs (NV_NO_MESSAGEBOX) answer no: a test never restarts the machine.
    const auto show = [](HWND owner, const std::string& caption, const std::string& text, unsigned type) {
      return nv::app::ShowMessageBox(owner, caption, text, type, IDNO);
    };
    nv::ui::AskReboot(
        m_hwnd, m_app.strings(), m_app.appName(), [this] { m_app.os().SystemExit(true); }, show);
  }
  m_switch.InitRG();
}

void CMainFrame::OnTrayAdCfg() {
  CDebug::dprintf("OnTrayAdCfg\n");
  RegisterRunOnce();
  nv::ui::COptionSheet sheet(DialogsOf(m_app), m_cfg, m_optionPages);
  if (sheet.DoModal(m_hwnd) != IDOK) return;
  // The new options take effect at once: idle return and log (drives and logon), the change
  // display and the network shortcut, the switch control's port and reverse lines, and the
  // network names in the tray's tip.  The sheet does not edit the schedule; its thread reads the
  // store itself.
  ApplySettings();
  m_switch.InitRG();
  const int shown = m_controller.State().current;
  ShowNetwork(shown, m_cfg.szNet[shown != 0 ? 1 : 0]);
}

void CMainFrame::OnTrayHelp() {
  CDebug::dprintf("OnTrayHelp\n");
  // From the installation folder: started by the service or the Run entry, the program's current
  // folder is not the one the help file lives in.  The viewer runs as the console user: started
  // by the service, this program runs as SYSTEM, and the viewer's dialogs lead to a shell.
  const std::string name = "Netvane_Help.chm";
  const std::string file = m_cfg.InstalledPath.empty() ? name : m_cfg.InstalledPath + "\\" + name;
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  nv::app::StartHelpViewer(nv::app::PlatformProgramStarter(),
                           length > 0 && length < MAX_PATH ? nv::text::Narrow(windows) : std::string(), file);
}
