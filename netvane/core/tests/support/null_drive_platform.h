// A drive step platform that does nothing: no idle monitor, no network connections, no NetWare
// logon.  For tests of the drive step's other duties (printers).
#pragma once
#include <cstdint>
#include <string>

#include "netvane/drive_logon.h"

namespace nv::core::testing {

class NoIdle : public nv::core::IIdleMonitor {
 public:
  bool Start() noexcept override { return true; }
  void Stop() noexcept override {}
  void Reset() noexcept override {}
  uint32_t LastInputTime() noexcept override { return 0; }
  uint32_t Now() noexcept override { return 0; }
};

class NoConnections : public nv::core::INetConnections {
 public:
  int32_t Cancel(const std::string&) override { return 0; }
  bool CancelWithNetCommand(const std::string&) override { return true; }
  int32_t ForgetPersistent(const std::string&) override { return 2; }  // none was kept
  int32_t Add(const std::string&, const std::string&, const std::string&, const std::string&) override {
    return 0;
  }
  std::string ErrorText(int32_t) override { return {}; }
};

class NoLogonUi : public nv::core::INetWareLogonUi {
 public:
  bool AskLogon(int, nv::core::NetWareCredentials&) override { return false; }
  void ShowDriveErrors(const std::string&) override {}
};

}  // namespace nv::core::testing
