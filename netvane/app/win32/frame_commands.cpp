// The tray menu's commands other than change and exit.  The About box, the IP configuration
// dialogs and the advanced option sheet come with their own parts; until then these handlers
// do the steps around them.
#include "platform/windows_api.h"
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include "corekit/debug.h"
#include "corekit/psapi.h"
#include "main_frame.h"
#include "netvane_app.h"
#include "platform/text.h"
#include "update_agent.h"

void CMainFrame::OnTrayAbout() {
  CDebug::dprintf("OnTrayAbout\n");
  RegisterRunOnce();
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
  // The IP configuration dialogs (and the reboot prompt after a first configuration) go here.
  m_switch.InitRG();
}

void CMainFrame::OnTrayAdCfg() {
  CDebug::dprintf("OnTrayAdCfg\n");
  RegisterRunOnce();
  // The advanced option sheet goes here; after OK it re-applies the change display, the drives
  // and logon settings and re-initialises the switch control.  A running schedule thread reads
  // the sheet's schedule from the store itself; one that ended (schedule off) is started again
  // with StartSchedule when the sheet switched the schedule on.
}

void CMainFrame::OnTrayHelp() {
  CDebug::dprintf("OnTrayHelp\n");
  ::ShellExecuteW(m_hwnd, L"open", L"Netvane_Help.chm", nullptr, nullptr, SW_SHOWDEFAULT);
}
