// CMainFrame: the tray program's never-shown main window.  It owns the objects a change
// works with (switch control, address renewal, drives and logon, change display, tray icon)
// and hands every message to FrameController, which decides; the window procedure stays a
// thin router and this class carries out what the controller asks (IFrameHost).
//
// During a change the change display lets the frame handle sent messages (a second start's
// command, copy-data, end of session); the controller's busy rule drops change requests then,
// and an exit or end of session that arrives meanwhile runs once the change is over.
#pragma once
#include <memory>
#include <string>

#include "netvane/change_ip.h"
#include "netvane/drive_logon.h"
#include "netvane/frame_controller.h"
#include "netvane/isolation_step.h"
#include "netvane/net_indicator.h"
#include "netvane/schedule_worker.h"
#include "netvane/switch_ctrl.h"
#include "netvane/system_tray.h"
#include "nvidle_monitor.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"

class CNetvaneApp;

class CMainFrame final : public nv::core::IFrameHost, public nv::core::ITrayView {
 public:
  // The tray icon's callback message and the schedule thread's arming (posted to the frame).
  static constexpr UINT kTrayCallback = WM_APP + 1;
  static constexpr UINT kScheduleArm = WM_APP + 2;
  static constexpr UINT kTrayIconId = 128;
  static constexpr UINT kIconNetA = 555;
  static constexpr UINT kIconNetB = 556;

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
  void Sleep(uint32_t ms) override;
  void OpenConfiguration() override;
  int OpenDhcpEmu() override;
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
  // Exit and end of session wait for a change that runs; they run here once it is over.
  void RunPendingShutdown();
  void ShutDown(bool sessionEnding);
  // Handles the messages sent to the frame while a change runs, and repaints.
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
  std::unique_ptr<nv::core::IAuditSink> m_audit;
  nv::core::IsolationStep m_isolation;
  nv::core::FrameController m_controller;
  std::unique_ptr<nv::core::ScheduleWorker> m_schedule;
  bool m_exitPending = false;
  bool m_sessionEndPending = false;
  bool m_shutDown = false;
};
