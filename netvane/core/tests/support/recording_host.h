// Records what the frame controller and the objects it drives ask of the frame window, as text
// in a shared call list ("host.SetTimer 10 300000", "log START", ...).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "netvane/frame_controller.h"

namespace nv::core::testing {

class RecordingHost : public IFrameHost {
 public:
  explicit RecordingHost(std::vector<std::string>& log) : log_(log) {}
  bool trayRemoved = false;
  int dhcpEmuFailures = 0;
  bool idleDue = false;
  int savedStatus = -1;

  bool TrayIconRemoved() override { return trayRemoved; }
  void AddTrayIcon() override { log_.push_back("host.AddTrayIcon"); }
  void SetTimer(unsigned id, uint32_t ms) override {
    log_.push_back("host.SetTimer " + std::to_string(id) + " " + std::to_string(ms));
  }
  void KillTimer(unsigned id) override { log_.push_back("host.KillTimer " + std::to_string(id)); }
  void OpenConfiguration() override { log_.push_back("host.OpenConfiguration"); }
  int OpenDhcpEmu() override {
    log_.push_back("host.OpenDhcpEmu");
    return dhcpEmuFailures-- > 0 ? 0 : 1;
  }
  int ConnectSwitch() override {
    log_.push_back("host.ConnectSwitch");
    return 1;
  }
  void DisconnectSwitch() override { log_.push_back("host.DisconnectSwitch"); }
  void CloseDhcpEmu() override { log_.push_back("host.CloseDhcpEmu"); }
  void ApplySettings() override { log_.push_back("host.ApplySettings"); }
  void LogLine(const std::string& t) override { log_.push_back("log " + t); }
  void StartSchedule() override { log_.push_back("host.StartSchedule"); }
  void RegisterRunOnce() override { log_.push_back("host.RegisterRunOnce"); }
  void ShowApplicationName() override { log_.push_back("host.ShowApplicationName"); }
  void StopIdleMonitor() override { log_.push_back("host.StopIdleMonitor"); }
  void PostClose() override { log_.push_back("host.PostClose"); }
  bool IdleReturnDue() override { return idleDue; }
  void SaveStatus(int n) override { savedStatus = n; }
  void ReloadTuning() override { log_.push_back("host.ReloadTuning"); }
  std::string DhcpEmuError() override { return "bind UDP port 67: in use"; }
  void ShowWarning(const std::string& t) override { log_.push_back("host.ShowWarning " + t); }
  void ClearWarning(const std::string& t) override { log_.push_back("host.ClearWarning " + t); }
  void BlockShutdown(const std::string& reason) override { log_.push_back("host.BlockShutdown " + reason); }
  void UnblockShutdown() override { log_.push_back("host.UnblockShutdown"); }
  std::string recovered;  // what RecoverAddress answers
  std::string RecoverAddress() override {
    log_.push_back("host.RecoverAddress");
    return recovered;
  }

 private:
  std::vector<std::string>& log_;
};

}  // namespace nv::core::testing
