// The record of fixed settings on the adapter: "szAppliedStatic" under the IPCfg key.
#include "corekit/debug.h"
#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "netvane/cfginfo.h"
#include "netvane/fixed_address.h"

namespace nv::core {
namespace {

class RegistryAppliedStaticStore : public IAppliedStaticStore {
 public:
  explicit RegistryAppliedStaticStore(std::string key) : key_(std::move(key)) {}

  bool Read(std::string& text, bool& present) override {
    CRegistry reg;
    present = false;
    if (!reg.uOpenKey(corekit::kHKeyLocalMachine, key_.c_str())) return Absent(reg, "open");
    if (!reg.GetStringValue(kAppliedStaticValue, text)) return Absent(reg, "read");
    present = true;
    return true;
  }

  bool Write(const std::string& text) override {
    CRegistry reg;
    const bool open = reg.uOpenKey(corekit::kHKeyLocalMachine, key_.c_str()) ||
                      (reg.Connect(corekit::kHKeyLocalMachine) && reg.Create(key_.c_str()));
    // Flushed: the record is only worth something if it outlives a crash that follows.
    if (open && reg.SetStringValue(kAppliedStaticValue, text) && reg.Flush()) return true;
    CDebug::dprintf("%s\\%s not written (error %d)\n", key_.c_str(), kAppliedStaticValue,
                    static_cast<int>(reg.GetErrorCode()));
    return false;
  }

  bool Clear() override {
    CRegistry reg;
    if (!reg.uOpenKey(corekit::kHKeyLocalMachine, key_.c_str()))
      return reg.GetErrorCode() == corekit::win32_error::kFileNotFound;
    if (reg.DeleteValue(kAppliedStaticValue) ? reg.Flush() != 0
                                             : reg.GetErrorCode() == corekit::win32_error::kFileNotFound)
      return true;
    CDebug::dprintf("%s\\%s not cleared (error %d)\n", key_.c_str(), kAppliedStaticValue,
                    static_cast<int>(reg.GetErrorCode()));
    return false;
  }

 private:
  bool Absent(CRegistry& reg, const char* what) {
    if (reg.GetErrorCode() == corekit::win32_error::kFileNotFound) return true;
    CDebug::dprintf("%s\\%s: cannot %s (error %d)\n", key_.c_str(), kAppliedStaticValue, what,
                    static_cast<int>(reg.GetErrorCode()));
    return false;
  }

  std::string key_;
};

}  // namespace

std::unique_ptr<IAppliedStaticStore> MakeRegistryAppliedStaticStore(const CCfginfo& cfg) {
  return std::make_unique<RegistryAppliedStaticStore>(cfg.ipCfgKey);
}

}  // namespace nv::core
