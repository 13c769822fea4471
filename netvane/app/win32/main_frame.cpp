#include "main_frame.h"

#include "corekit/debug.h"
#include "netvane_app.h"
#include "nvutil/net_util.h"
#include "platform/text.h"
#include "tray_menu.h"

namespace {

nv::core::OsFacts OsFactsOf(const COSversion& os) { return {os.m_name, os.m_osvi.dwMajorVersion}; }

// The notification area shows small icons; the image of that size is taken from the icon.
HICON LoadTrayIcon(HMODULE module, UINT id) {
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

CMainFrame::CMainFrame(CNetvaneApp& app)
    : m_app(app),
      m_cfg(app.config()),
      m_tray(CreatePlatformTrayShell(reinterpret_cast<std::uintptr_t>(app.resources()))),
      m_address(m_cfg, OsFactsOf(app.os()), std::make_unique<CNetUtil>(), nv::core::MakeDhcpEmulation()),
      m_switch(m_cfg),
      m_drives(m_cfg, m_idle),
      m_display(m_cfg),
      m_audit(nv::core::MakeSystemAuditSink(m_cfg.InstalledPath)),
      m_isolation(
          m_cfg,
          [this](int network, const std::vector<std::string>& drives) {
            return nv::core::ReadIsolationSnapshot(m_address, m_cfg.net[network != 0 ? 1 : 0], drives);
          },
          [this](int network) { return m_drives.drives(network); },
          [this](const nv::core::IsolationResult& result) { ReportIsolation(result); }),
      m_controller(
          m_cfg, *this,
          nv::core::ChangeSteps{m_display, m_drives, m_drives, m_switch, m_address, *this, &m_isolation},
          m_audit.get()) {
  m_display.SetPump([this] { PumpDuringChange(); });
}

CMainFrame::~CMainFrame() {
  m_schedule.reset();
  if (m_hwnd != nullptr) ::DestroyWindow(m_hwnd);
}

bool CMainFrame::Create() {
  // Never shown: the program lives in the notification area.
  const HWND hwnd = ::CreateWindowExW(
      0, m_app.frameClassName().c_str(), nv::text::Widen(m_app.appName()).c_str(), WS_OVERLAPPEDWINDOW,
      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_app.instance(), this);
  return hwnd != nullptr;
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* frame = static_cast<CMainFrame*>(create->lpCreateParams);
    frame->m_hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
  }
  auto* frame = reinterpret_cast<CMainFrame*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (frame == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    const LRESULT result = frame->OnMessage(message, wParam, lParam);
    frame->RunPendingShutdown();
    return result;
  } catch (const std::exception& e) {
    CDebug::dprintf("Frame: message %u stopped by an error: %s\n", message, e.what());
  } catch (...) {
    CDebug::dprintf("Frame: message %u stopped by an error\n", message);
  }
  return 0;
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_TIMER:
      if (!m_controller.OnTimer(static_cast<unsigned>(wParam))) break;
      if (wParam == nv::core::TIMER_STARTUP) CDebug::dprintf("Start-up done\n");
      return 0;
    case nv::core::kWmNvChange:
      m_controller.OnTrayChange(nv::core::ChangeTrigger::ChangeHelper);
      return 0;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data != nullptr) m_controller.OnCopyData(data->cbData, static_cast<uint32_t>(data->dwData));
      break;
    }
    case kScheduleArm:
      m_controller.ArmSchedule(static_cast<int>(wParam), static_cast<uint32_t>(lParam));
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // Carried out before this message returns (RunPendingShutdown), unless a change runs.
      if (wParam != FALSE) m_sessionEndPending = true;
      return 0;
    case WM_CLOSE:
      // Whoever closes the frame, the machine is left on network A first.
      if (!m_shutDown) {
        m_exitPending = true;
        return 0;
      }
      ::DestroyWindow(m_hwnd);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
      m_hwnd = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(m_hwnd, message, wParam, lParam);
}

bool CMainFrame::OnCreate() {
  CDebug::dprintf("OnCreate\n");
  ::SetWindowTextW(m_hwnd, nv::text::Widen(m_app.appName()).c_str());

  const HMODULE resources = m_app.resources();
  m_appIcon.reset(LoadTrayIcon(resources, kTrayIconId));
  m_icons[0].reset(LoadTrayIcon(resources, kIconNetA));
  m_icons[1].reset(LoadTrayIcon(resources, kIconNetB));
  SetUpTrayMenu();
  if (!m_tray.Create(reinterpret_cast<std::uintptr_t>(m_hwnd), kTrayCallback, m_app.appName(),
                     reinterpret_cast<TrayIconHandle>(m_appIcon.get()), kTrayIconId)) {
    CDebug::dprintf("Tray icon could not be created\n");
    return false;
  }
  CDebug::dprintf(m_tray.IsHidden() ? "Tray icon not added\n" : "Tray icon added\n");
  SetTimer(nv::core::TIMER_STARTUP, 50);
  return true;
}

void CMainFrame::SetUpTrayMenu() {
  std::vector<TrayMenuItem> items;
  for (auto& entry : nv::app::ReadTrayMenu(m_app.strings()))
    items.push_back({entry.command, std::move(entry.text)});
  m_tray.SetMenuItems(std::move(items));
  m_tray.SetMenuDefaultItem(nv::app::kDefaultMenuPosition, true);
}

void CMainFrame::OnDestroy() {
  m_schedule.reset();
  for (unsigned id : {nv::core::TIMER_CHANGE_REPEAT, nv::core::TIMER_IDLE_CHECK, nv::core::TIMER_STARTUP,
                      nv::core::TIMER_TRAY_REFRESH, nv::core::TIMER_SCHEDULE})
    ::KillTimer(m_hwnd, id);
  // The shell keeps an icon whose window is gone until the mouse passes over it.
  m_tray.RemoveIcon();
  ::PostQuitMessage(0);
}

void CMainFrame::OnCommand(unsigned command) {
  using namespace nv::core;
  if (command == ID_TRAY_EXIT) {
    m_exitPending = true;  // carried out by RunPendingShutdown, after a change that runs
    return;
  }
  if (command == ID_TRAY_CHANGE) {
    // A second start sends the command from its own process; the tray menu's comes from ours.
    m_controller.OnTrayChange(::InSendMessage() ? ChangeTrigger::SecondStart : ChangeTrigger::TrayCommand);
    return;
  }
  if (Busy()) {
    // Dialogs and the switch's reconnection must not cut into a running change.
    CDebug::dprintf("Command %u dropped: a change runs\n", command);
    return;
  }
  switch (command) {
    case ID_TRAY_ABOUT:
      OnTrayAbout();
      break;
    case ID_TRAY_UPDATE:
      OnTrayUpdate();
      break;
    case ID_TRAY_CONFIG:
      OnTrayCfg();
      break;
    case ID_TRAY_ADCONFIG:
      OnTrayAdCfg();
      break;
    case ID_TRAY_HELP:
      OnTrayHelp();
      break;
    default:
      break;
  }
}

void CMainFrame::RunPendingShutdown() {
  if (m_shutDown || Busy() || m_hwnd == nullptr) return;
  if (m_sessionEndPending) {
    ShutDown(true);
  } else if (m_exitPending) {
    ShutDown(false);
  }
}

void CMainFrame::ShutDown(bool sessionEnding) {
  if (m_shutDown) return;
  m_shutDown = true;
  m_schedule.reset();
  if (sessionEnding) {
    m_controller.OnEndSession();
  } else {
    m_controller.ShutDown();
  }
}

void CMainFrame::PumpDuringChange() {
  // Only sent messages and painting: posted requests (timers, the schedule's arming, posted
  // commands) wait in the queue until the change is over.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// ---- IFrameHost ----

bool CMainFrame::TrayIconRemoved() { return m_tray.IsHidden(); }

void CMainFrame::AddTrayIcon() { m_tray.ShowIcon(); }

void CMainFrame::SetTimer(unsigned id, uint32_t ms) { ::SetTimer(m_hwnd, id, ms, nullptr); }

void CMainFrame::KillTimer(unsigned id) { ::KillTimer(m_hwnd, id); }

void CMainFrame::Sleep(uint32_t ms) { ::Sleep(ms); }

void CMainFrame::OpenConfiguration() { OnTrayCfg(); }

int CMainFrame::OpenDhcpEmu() { return m_address.OpenDhcpEmu(); }

int CMainFrame::ConnectSwitch() { return m_switch.ConnectRG(); }

void CMainFrame::DisconnectSwitch() { m_switch.DisconnectRG(); }

void CMainFrame::CloseDhcpEmu() { m_address.CloseDhcpEmu(); }

void CMainFrame::ApplySettings() { m_drives.ApplySettings(this); }

void CMainFrame::LogLine(const std::string& text) { m_drives.LogLine(text); }

void CMainFrame::StartSchedule() {
  nv::core::ScheduleSettings settings;
  settings.startHour = m_cfg.startHour;
  settings.startMinute = m_cfg.startMinute;
  settings.startSecond = m_cfg.startSecond;
  settings.intervalMs = m_cfg.scheduleInterval;
  settings.startNetwork = static_cast<int>(m_cfg.startNetwork);
  const HWND hwnd = m_hwnd;
  // The thread only posts; the frame's thread sets the network and the timer.
  m_schedule = std::make_unique<nv::core::ScheduleWorker>(
      settings, &nv::core::LocalMsSinceMidnight, [hwnd](const nv::core::ScheduleArm& arm) {
        ::PostMessageW(hwnd, kScheduleArm, static_cast<WPARAM>(arm.network),
                       static_cast<LPARAM>(arm.delayMs));
      });
}

void CMainFrame::RegisterRunOnce() { m_drives.RegisterRunOnce(); }

void CMainFrame::ShowApplicationName() { m_display.SetText(m_app.appName()); }

void CMainFrame::StopIdleMonitor() { m_drives.StopIdleMonitor(); }

void CMainFrame::PostClose() { ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0); }

bool CMainFrame::IdleReturnDue() { return m_drives.IdleReturnDue(); }

void CMainFrame::SaveStatus(int network) { m_cfg.SaveStatus(static_cast<uint32_t>(network)); }

void CMainFrame::ReloadTuning() { m_cfg.LoadTuning(); }

void CMainFrame::ReportIsolation(const nv::core::IsolationResult& result) {
  m_drives.LogLine(nv::core::IsolationLogLine(result));
  if (!result.failedOrUnchecked()) return;
  // The tray tip stays on the warning until the next change; the tip holds 127 characters.
  std::string tip =
      m_cfg.szNet[m_controller.State().current != 0 ? 1 : 0] + ": isolation check " + result.Summary();
  if (tip.size() > 127) {
    size_t cut = 124;
    while (cut > 0 && (static_cast<unsigned char>(tip[cut]) & 0xC0) == 0x80) --cut;  // whole characters only
    tip = tip.substr(0, cut) + "...";
  }
  m_tray.SetTooltipText(tip);
}

// ---- ITrayView ----

void CMainFrame::ShowNetwork(int network, const std::string& tip) {
  const int n = network != 0 ? 1 : 0;
  // A change without the progress window leaves the display on the network it showed last.
  const std::string text = (tip.empty() || m_display.networkShown() != n) ? m_cfg.szNet[n] : tip;
  m_tray.SetIcon(reinterpret_cast<TrayIconHandle>(m_icons[n].get()));
  m_tray.SetTooltipText(text);
  CDebug::dprintf("Tray(%d) %s\n", n + 1, text.c_str());
}
