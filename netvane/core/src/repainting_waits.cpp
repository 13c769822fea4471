#include "netvane/repainting_waits.h"

#include "netvane/indicator_windows.h"

namespace nv::core {

void RepaintingWaits::Sleep(uint32_t ms) noexcept {
  if (ms == 0) {
    inner_.Sleep(0);
    return;
  }
  while (ms > 0) {
    const uint32_t slice = ms < kSliceMs ? ms : kSliceMs;
    inner_.Sleep(slice);
    ms -= slice;
    if (repaint_) repaint_();
  }
}

SwitchEnvironment& RepaintingSystemSwitchEnvironment() noexcept {
  static RepaintingWaits env(SystemSwitchEnvironment(), &PumpPaintMessages);
  return env;
}

}  // namespace nv::core
