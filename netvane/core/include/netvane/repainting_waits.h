// The switch control's environment with waits that let the windows repaint: the resend
// interval and the frame delays block the main thread for seconds during a change, and a
// covered progress window must not stay blank meanwhile.  Sleeps are cut into short slices
// with a repaint after each; everything else goes to the wrapped environment.
#pragma once
#include <functional>

#include "netvane/switch_ctrl.h"

namespace nv::core {

class RepaintingWaits final : public SwitchEnvironment {
 public:
  static constexpr uint32_t kSliceMs = 50;

  RepaintingWaits(SwitchEnvironment& inner, std::function<void()> repaint) noexcept
      : inner_(inner), repaint_(std::move(repaint)) {}

  uint32_t TickCount() noexcept override { return inner_.TickCount(); }
  void Sleep(uint32_t ms) noexcept override;
  bool ReadLastSend(uint32_t& tick) noexcept override { return inner_.ReadLastSend(tick); }
  void WriteLastSend(uint32_t tick) noexcept override { inner_.WriteLastSend(tick); }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned number) noexcept override {
    return inner_.OpenComPort(number);
  }

 private:
  SwitchEnvironment& inner_;
  std::function<void()> repaint_;
};

// The system environment repainting this thread's windows (paint messages only) while it waits.
SwitchEnvironment& RepaintingSystemSwitchEnvironment() noexcept;

}  // namespace nv::core
