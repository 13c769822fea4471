#include "corekit/debug.h"
#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "netvane/drive_letters.h"
#include "netvane/drive_platform.h"

namespace nv::core {
namespace {

// Linux has no drive letters to map: every call reports "not supported", so the drive step's
// rules still run and report.
class NoNetConnections final : public INetConnections {
 public:
  int32_t Cancel(const std::string&) override { return corekit::win32_error::kNotSupported; }
  bool CancelWithNetCommand(const std::string&) override { return false; }
  // The native registry store has one user, whose hive its HKEY_CURRENT_USER is.
  int32_t ForgetPersistent(const std::string& drive) override {
    if (!IsDriveName(drive)) return corekit::win32_error::kInvalidParameter;
    CRegistry persistent;
    if (persistent.uOpenKey(corekit::kHKeyCurrentUser, kPersistentDrivesKey) != 0)
      persistent.DeleteKey(drive.c_str());
    return persistent.GetErrorCode();
  }
  int32_t Add(const std::string&, const std::string&, const std::string&, const std::string&) override {
    return corekit::win32_error::kNotSupported;
  }
  std::string ErrorText(int32_t code) override {
    if (code == corekit::win32_error::kNotSupported) return "The request is not supported.";
    return "Error " + std::to_string(code);
  }
};

class NoNetWareLogonUi final : public INetWareLogonUi {
 public:
  bool AskLogon(int network, NetWareCredentials&) override {
    CDebug::dprintf("NetWare logon for network %d: no dialog here, not logged on\n", network);
    return false;
  }
  void ShowDriveErrors(const std::string& report) override {
    CDebug::dprintf("MessageBox(Netvane): %s\n", report.c_str());
  }
};

}  // namespace

std::unique_ptr<INetConnections> MakeSystemNetConnections() { return std::make_unique<NoNetConnections>(); }
std::unique_ptr<INetWareLogonUi> MakeSystemNetWareLogonUi() { return std::make_unique<NoNetWareLogonUi>(); }

}  // namespace nv::core
