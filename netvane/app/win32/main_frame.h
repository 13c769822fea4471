// CMainFrame: the tray program's never-shown main window.  It owns the objects a change
// works with (switch control, address renewal, drives and logon, change display, tray icon)
// and hands every message to FrameController, which decides; the window procedure stays a
// thin router and this class carries out what the controller asks (IFrameHost).
//
// During a change the change display only repaints; messages sent to the frame meanwhile are
// still delivered by the system: copy-data is refused, the controller's busy rule drops change
// requests, and an exit or end of session that arrives meanwhile runs once the change is over.
#pragma once
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "netvane/change_ip.h"
#include "netvane/drive_logon.h"
#include "netvane/frame_controller.h"
#include "netvane/gateway_watch.h"
#include "netvane/isolation_step.h"
#include "netvane/net_indicator.h"
#include "netvane/schedule_worker.h"
#include "netvane/switch_ctrl.h"
#include "netvane/system_tray.h"
#include "netvane/win32/option_sheet.h"
#include "nvidle_monitor.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"

class CNetvaneApp;

class CMainFrame final : public nv::core::IFrameHost, public nv::core::ITrayView {
 public:
  // The tray icon's callback message and the schedule thread's arming (posted to the frame).
  static constexpr UINT kTrayCallback = WM_APP + 1;
  static constexpr UINT kScheduleArm = WM_APP + 2;
  static constexpr UINT kGatewayChecked = WM_APP + 3;  // the gateway check after a change is over
  static constexpr UINT kTrayIconId = 128;
  static constexpr UINT kIconNetA = 555;
  static constexpr UINT kIconNetB = 556;
  static constexpr DWORD kEndSessionCritical = 0x40000000;  // ENDSESSION_CRITICAL

  explicit CMainFrame(CNetvaneApp& app);
  ~CMainFrame() override;
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Creates the hidden window (title = application name); false when creation failed.
  bool Create();
  HWND hwnd() const noexcept { return m_hwnd; }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // nv::core::IFrameHost
  bool TrayIconRemoved() override;
  void AddTrayIcon() override;
  void SetTimer(unsigned id, uint32_t ms) override;
  void KillTimer(unsigned id) override;
  void OpenConfiguration() override;
  int OpenDhcpEmu() override;
  std::string DhcpEmuError() override;
  int ConnectSwitch() override;
  void DisconnectSwitch() override;
  void CloseDhcpEmu() override;
  void ApplySettings() override;
  void LogLine(const std::string& text) override;
  void StartSchedule() override;
  void RegisterRunOnce() override;
  void ShowApplicationName() override;
  void StopIdleMonitor() override;
  void PostClose() override;
  bool IdleReturnDue() override;
  void SaveStatus(int network) override;
  void ReloadTuning() override;
  void ShowWarning(const std::string& text) override;
  void ClearWarning(const std::string& text) override;
  void BlockShutdown(const std::string& reason) override;
  void UnblockShutdown() override;
  std::string RecoverAddress() override;

  // nv::core::ITrayView
  void ShowNetwork(int network, const std::string& tip) override;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  void OnDestroy();
  void OnCommand(unsigned command);
  void OnTrayAbout();
  void OnTrayUpdate();
  void OnTrayCfg();
  void OnTrayAdCfg();
  void OnTrayHelp();
  // The gateway check's result: tray tip and log line.
  void OnGatewayChecked();
  // Exit and end of session wait for a change that runs; they run here once it is over.
  void RunPendingShutdown();
  // WM_ENDSESSION: the shutdown runs before it returns, unless a change runs (then after it).
  void OnEndSession(bool forced);
  void ShutDown(bool sessionEnding);
  // Repaints while a change runs (paint messages only).
  void PumpDuringChange();
  bool Busy() const noexcept { return m_controller.State().busy != 0; }
  void SetUpTrayMenu();
  // The isolation check's log line, and a tray tip naming the leftover when it failed.
  void ReportIsolation(const nv::core::IsolationResult& result);

  struct IconTraits {
    using pointer = HICON;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer h) noexcept { ::DestroyIcon(h); }
  };

  CNetvaneApp& m_app;
  CCfginfo& m_cfg;
  HWND m_hwnd = nullptr;
  CSystemTray m_tray;
  nv::UniqueHandle<IconTraits> m_icons[2];
  nv::UniqueHandle<IconTraits> m_appIcon;
  CChangeIP m_address;
  CSwitchCtrl m_switch;
  nv::app::NvIdleMonitor m_idle;
  CDriveLogon m_drives;
  CNetIndicator m_display;
  nv::core::GatewayWatch m_gateway;  // wraps m_drives as the change's drive step
  std::unique_ptr<nv::core::IAuditSink> m_audit;
  nv::core::IsolationStep m_isolation;
  nv::core::FrameController m_controller;
  std::unique_ptr<nv::core::ScheduleWorker> m_schedule;
  // The schedule thread's latest arming, taken on the frame's thread (kScheduleArm).
  std::mutex m_scheduleMutex;
  std::optional<nv::core::ScheduleArm> m_pendingArm;
  bool m_exitPending = false;
  bool m_sessionEndPending = false;
  bool m_sessionEndForced = false;
  bool m_shutdownBlocked = false;
  bool m_isolationWarning = false;  // the last change left something of the other network
  std::string m_warning;            // the warning the tip shows, empty when none
  std::string m_tipBeforeWarning;
  bool m_shutDown = false;
  // The option sheet's printer and folder pages.
  nv::ui::OptionSheetHooks m_optionPages;
};
