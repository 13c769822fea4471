// Start and stop of the input watch over the shared area, apart from how a platform watches input.
#pragma once
#include <cstdint>

#include "idle_area.h"

namespace nv::idle {

// The platform's input watch (Windows: the two hooks; Linux: the X idle poller).
class InputWatch {
 public:
  virtual ~InputWatch() = default;
  // Installs both watches and returns their non-zero handles; false (and nothing left installed)
  // when either cannot be installed.
  virtual bool Install(IdleArea& area, std::uint64_t& keyboard, std::uint64_t& mouse) noexcept = 0;
  virtual void Remove(std::uint64_t keyboard, std::uint64_t mouse) noexcept = 0;
  virtual std::uint32_t CurrentProcessId() noexcept = 0;
  virtual bool ProcessAlive(std::uint32_t pid) noexcept = 0;
};

// NvIdleInit: 1 when the watch runs afterwards, 0 when it could not be installed.
int StartMonitor(IdleArea& area, InputWatch& watch) noexcept;
// NvIdleTerm.
void StopMonitor(IdleArea& area, InputWatch& watch) noexcept;

}  // namespace nv::idle
