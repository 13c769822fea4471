// The switch control's real environment: the tick count, sleeping, "dwLastSend" in the
// product key and the COM ports.
#include <chrono>
#include <thread>

#include "corekit/registry.h"
#include "netvane/product_key.h"
#include "netvane/switch_ctrl.h"
#include "platform/tick_count.h"

namespace nv::core {
namespace {

constexpr const char* kLastSendValue = "dwLastSend";

class SystemEnvironment : public SwitchEnvironment {
 public:
  uint32_t TickCount() noexcept override { return nv::TickCountMs(); }
  void Sleep(uint32_t ms) noexcept override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  bool ReadLastSend(uint32_t& tick) noexcept override {
    CRegistry reg;
    if (!reg.uOpenKey(corekit::kHKeyLocalMachine, ProductKeyPath().c_str())) return false;
    return reg.GetValue(kLastSendValue, tick) != 0;
  }
  void WriteLastSend(uint32_t tick) noexcept override {
    CRegistry reg;
    if (reg.uOpenKey(corekit::kHKeyLocalMachine, ProductKeyPath().c_str()))
      reg.SetValue(kLastSendValue, tick);
  }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned number) noexcept override {
    return nv::serial::OpenComPort(number);
  }
};

}  // namespace

SwitchEnvironment& SystemSwitchEnvironment() noexcept {
  static SystemEnvironment env;
  return env;
}

}  // namespace nv::core
