// The idle monitor as the drives and logon object uses it: the shared last-input time that
// the idle library keeps, and the tick count it is measured against.
#pragma once
#include <cstdint>

namespace nv::core {

class IIdleMonitor {
 public:
  virtual ~IIdleMonitor() = default;
  // Starts the input watch; false when no input source could be watched.
  virtual bool Start() noexcept = 0;
  virtual void Stop() noexcept = 0;
  // Clears the last-input time; the next input stamps it again.
  virtual void Reset() noexcept = 0;
  // Tick count of the latest keyboard or mouse event; 0 when there is none.
  virtual uint32_t LastInputTime() noexcept = 0;
  virtual uint32_t Now() noexcept = 0;
};

}  // namespace nv::core
