// The idle monitor of the idle library (NvIdle), for the drives and logon object.
#pragma once
#include "netvane/idle_monitor.h"

namespace nv::app {

class NvIdleMonitor final : public nv::core::IIdleMonitor {
 public:
  bool Start() noexcept override;
  void Stop() noexcept override;
  void Reset() noexcept override;
  uint32_t LastInputTime() noexcept override;
  uint32_t Now() noexcept override;
};

}  // namespace nv::app
