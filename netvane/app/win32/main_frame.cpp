#include "main_frame.h"

#include "corekit/debug.h"
#include "folder_picker_process.h"
#include "netvane/repainting_waits.h"
#include "netvane/win32/ad_pages.h"
#include "netvane_app.h"
#include "nvutil/net_util.h"
#include "platform/text.h"
#include "program_starter_win32.h"
#include "tray_menu.h"

namespace {

nv::core::OsFacts OsFactsOf(const COSversion& os) { return {os.m_name, os.m_osvi.dwMajorVersion}; }

// The notification area shows small icons; the image of that size is taken from the icon.
HICON LoadTrayIcon(HMODULE module, UINT id) {
  return static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                         LR_DEFAULTCOLOR));
}

// The system folder, where net.exe lives; empty when it cannot be had (net.exe is then searched).
std::string SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? nv::text::Narrow(std::wstring_view(folder, length))
                                         : std::string();
}

}  // namespace

CMainFrame::CMainFrame(CNetvaneApp& app)
    : m_app(app),
      m_cfg(app.config()),
      m_tray(CreatePlatformTrayShell(reinterpret_cast<std::uintptr_t>(app.resources()))),
      m_address(m_cfg, OsFactsOf(app.os()), std::make_unique<CNetUtil>(), nv::core::MakeDhcpEmulation()),
      m_switch(m_cfg, nv::core::RepaintingSystemSwitchEnvironment()),  // its waits repaint
      m_drives(m_cfg, m_idle,
               nv::app::MakeTrayNetConnections(nv::app::PlatformProgramStarter(),
                                               nv::core::MakeSystemNetConnections(), SystemFolder())),
      m_display(m_cfg, app.strings()),
      m_gateway(m_cfg, m_drives, nv::core::MakeGatewayProbe(),
                [this] { ::PostMessageW(m_hwnd, kGatewayChecked, 0, 0); }),
      m_audit(nv::core::MakeSystemAuditSink(m_cfg.InstalledPath,
                                            [this](const std::string& line) { m_drives.LogLine(line); })),
      m_isolation(
          m_cfg,
          [this](int network, const std::vector<std::string>& drives) {
            return nv::core::ReadIsolationSnapshot(m_address, m_cfg.net[network != 0 ? 1 : 0], drives);
          },
          [this](int network) { return m_drives.drives(network); },
          [this](const nv::core::IsolationResult& result) { ReportIsolation(result); }),
      m_controller(
          m_cfg, *this,
          nv::core::ChangeSteps{m_display, m_drives, m_gateway, m_switch, m_address, *this, &m_isolation},
          m_audit.get()) {
  // The emulation cannot answer the adapter's own DHCP client here: fixed settings are set directly.
  m_address.UseFixedAddressStep(nv::core::MakeSystemFixedAddressPlatform(),
                                nv::core::MakeRegistryAppliedStaticStore(m_cfg));
  m_display.SetPump([this] { PumpDuringChange(); });
  m_display.SetWindows(nv::core::MakeIndicatorWindows(reinterpret_cast<std::uintptr_t>(app.resources()),
                                                      app.texts().FontFaceName));
  m_display.SetDesktopLinks(nv::core::MakeDesktopLinks());
  m_drives.SetPrinterTexts(app.strings());
  m_optionPages = nv::ui::AdPageHooks(app.os(), m_drives.guardDevice(), &nv::app::PickFolderForTray);
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
      // Another program's request waits for no one during a change: it is refused.
      if (Busy()) {
        CDebug::dprintf("Receive onCopyData: refused, a change runs\n");
        return FALSE;
      }
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (data != nullptr) m_controller.OnCopyData(data->cbData, static_cast<uint32_t>(data->dwData));
      return TRUE;  // taken, as opposed to refused during a change
    }
    case kGatewayChecked:
      OnGatewayChecked();
      return 0;
    case kScheduleArm: {
      std::optional<nv::core::ScheduleArm> arm;
      {
        std::lock_guard<std::mutex> lock(m_scheduleMutex);
        arm.swap(m_pendingArm);
      }
      if (arm) m_controller.ArmSchedule(*arm);
      return 0;
    }
    case WM_QUERYENDSESSION:
      // Written now: Windows may end the process at any point from here on.
      CDebug::dprintf("WM_QUERYENDSESSION\n");
      RegisterRunOnce();
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) OnEndSession((static_cast<DWORD>(lParam) & kEndSessionCritical) != 0);
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
  m_gateway.Stop();  // its thread posts to this window
  for (unsigned id : {nv::core::TIMER_CHANGE_REPEAT, nv::core::TIMER_IDLE_CHECK, nv::core::TIMER_STARTUP,
                      nv::core::TIMER_TRAY_REFRESH, nv::core::TIMER_DHCP_EMU_RETRY, nv::core::TIMER_SCHEDULE})
    ::KillTimer(m_hwnd, id);
  // The shell keeps an icon whose window is gone until the mouse passes over it.
  m_tray.RemoveIcon();
  UnblockShutdown();
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

void CMainFrame::OnEndSession(bool forced) {
  CDebug::dprintf("WM_ENDSESSION%s\n", forced ? " (forced)" : "");
  m_sessionEndPending = true;
  m_sessionEndForced = forced;
  if (m_shutDown || !Busy()) return;  // RunPendingShutdown finishes it before the message returns
  // A change runs below us on this thread, so the shutdown can only follow it: make the change
  // leave the addresses alone, write RunOnce now and tell Windows why it waits.
  CDebug::dprintf("End of session during a change: shutdown follows it\n");
  m_controller.State().sessionEnding = 1;
  RegisterRunOnce();
  BlockShutdown(nv::core::kShutdownReason);
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
    m_controller.OnEndSession(m_sessionEndForced);
  } else {
    m_controller.ShutDown();
  }
  UnblockShutdown();
  m_gateway.Stop();  // nothing is reported after "SHUTDOWN"
}

void CMainFrame::OnGatewayChecked() {
  const auto check = m_gateway.TakeResult();
  if (!check || m_shutDown || check->network != m_controller.State().current) return;
  const std::string tip = nv::core::GatewayTip(m_cfg.szNet[check->network], *check);
  if (!m_isolationWarning) m_tray.SetTooltipText(tip);  // a leftover of the other network says more
  CDebug::dprintf("Tray(%d) %s\n", check->network + 1, tip.c_str());
  m_drives.LogLine(nv::core::GatewayLogLine(*check));
}

void CMainFrame::PumpDuringChange() {
  // Painting only: input, timers and posted requests wait in the queue until the change is over.
  nv::core::PumpPaintMessages();
}

// ---- IFrameHost ----

bool CMainFrame::TrayIconRemoved() { return m_tray.IsHidden(); }

void CMainFrame::AddTrayIcon() {
  m_tray.ShowIcon();
  CDebug::dprintf(m_tray.IsHidden() ? "Tray icon not added\n" : "Tray icon added\n");
}

void CMainFrame::SetTimer(unsigned id, uint32_t ms) { ::SetTimer(m_hwnd, id, ms, nullptr); }

void CMainFrame::KillTimer(unsigned id) { ::KillTimer(m_hwnd, id); }

void CMainFrame::OpenConfiguration() { OnTrayCfg(); }

int CMainFrame::OpenDhcpEmu() { return m_address.OpenDhcpEmu(); }

std::string CMainFrame::RecoverAddress() { return m_address.RecoverFixedSettings(); }

std::string CMainFrame::DhcpEmuError() { return m_address.EmulationError(); }

int CMainFrame::ConnectSwitch() { return m_switch.ConnectRG(); }

void CMainFrame::DisconnectSwitch() { m_switch.DisconnectRG(); }

void CMainFrame::CloseDhcpEmu() { m_address.CloseDhcpEmu(); }

void CMainFrame::ApplySettings() {
  m_drives.ApplySettings(this);
  m_display.OnOptionsChanged(reinterpret_cast<std::uintptr_t>(m_hwnd));
}

void CMainFrame::LogLine(const std::string& text) { m_drives.LogLine(text); }

void CMainFrame::StartSchedule() {
  const HWND hwnd = m_hwnd;
  const std::string baseKey = m_cfg.baseKey;
  // The thread reads the stored schedule itself each round and only posts; the frame's thread
  // sets the network and the timer.  Only the latest arming counts.
  m_schedule = std::make_unique<nv::core::ScheduleWorker>(
      [baseKey] { return nv::core::StoredScheduleSettings(baseKey); }, &nv::core::LocalMsSinceMidnight,
      [this, hwnd](const nv::core::ScheduleArm& arm) {
        {
          std::lock_guard<std::mutex> lock(m_scheduleMutex);
          m_pendingArm = arm;
        }
        ::PostMessageW(hwnd, kScheduleArm, 0, 0);
      });
}

void CMainFrame::RegisterRunOnce() { m_drives.RegisterRunOnce(); }

void CMainFrame::ShowApplicationName() { m_display.SetText(m_app.appName()); }

void CMainFrame::StopIdleMonitor() { m_drives.StopIdleMonitor(); }

void CMainFrame::PostClose() { ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0); }

bool CMainFrame::IdleReturnDue() { return m_drives.IdleReturnDue(); }

void CMainFrame::SaveStatus(int network) {
  // The request carries no answer; a failed write is traced by the store.
  if (!m_cfg.SaveStatus(static_cast<uint32_t>(network))) CDebug::dprintf("SaveStatus failed\n");
}

void CMainFrame::ReloadTuning() { m_cfg.LoadTuning(); }

void CMainFrame::ShowWarning(const std::string& text) {
  if (m_warning.empty()) m_tipBeforeWarning = m_tray.GetTooltipText();
  m_warning = CutTrayTip(text);
  m_tray.SetTooltipText(m_warning);
  CDebug::dprintf("Tray tip: %s\n", m_warning.c_str());
}

void CMainFrame::ClearWarning(const std::string& text) {
  if (m_warning.empty() || m_warning != CutTrayTip(text)) return;
  m_warning.clear();
  m_tray.SetTooltipText(m_tipBeforeWarning);
  CDebug::dprintf("Tray tip: %s\n", m_tipBeforeWarning.c_str());
}

void CMainFrame::BlockShutdown(const std::string& reason) {
  if (m_shutdownBlocked || m_hwnd == nullptr) return;
  // Looked up at run time: Windows before Vista has no shutdown block reasons.
  using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
  const auto create = reinterpret_cast<Create>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonCreate")));
  const BOOL ok = create != nullptr && create(m_hwnd, nv::text::Widen(reason).c_str());
  CDebug::dprintf("ShutdownBlockReasonCreate(%s): %s (%lu)\n", reason.c_str(), ok ? "set" : "failed",
                  ok ? 0ul : ::GetLastError());
  m_shutdownBlocked = ok != FALSE;
}

void CMainFrame::UnblockShutdown() {
  if (!m_shutdownBlocked) return;
  m_shutdownBlocked = false;
  using Destroy = BOOL(WINAPI*)(HWND);
  const auto destroy = reinterpret_cast<Destroy>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ShutdownBlockReasonDestroy")));
  if (destroy != nullptr) destroy(m_hwnd);
  CDebug::dprintf("ShutdownBlockReasonDestroy\n");
}

void CMainFrame::ReportIsolation(const nv::core::IsolationResult& result) {
  m_drives.LogLine(nv::core::IsolationLogLine(result));
  // The tip says it once the change is over, with what became of the adapter (the controller's
  // IsolationTip); it stays until the next change.
  m_isolationWarning = result.state == nv::core::IsolationResult::State::Failed;
}

// ---- ITrayView ----

void CMainFrame::ShowNetwork(int network, const std::string& tip) {
  const int n = network != 0 ? 1 : 0;
  // Every change passes the network in force to the display before it asks for the tip.
  const std::string text = tip.empty() ? m_cfg.szNet[n] : tip;
  m_warning.clear();  // the network in force replaces any warning
  m_tray.SetIcon(reinterpret_cast<TrayIconHandle>(m_icons[n].get()));
  m_tray.SetTooltipText(text);
  CDebug::dprintf("Tray(%d) %s\n", n + 1, text.c_str());
}
