// Daily schedule arithmetic: from today's start time the network alternates every
// interval, and the first boundary after the start time brings the start network.
#pragma once
#include <cstdint>

namespace nv::core {

struct ScheduleArm {
  bool arm = false;         // false: before today's start time, or no interval
  int network = 0;          // network to be current now; the timer's change then toggles it
  uint32_t delayMs = 0;     // time to the next boundary
  uint32_t intervalMs = 0;  // time between the boundaries after that
};

// `msSinceMidnight` is now in local time.  An interval of 0 arms nothing (it would
// otherwise divide by zero or fire without pause).
ScheduleArm ComputeScheduleArm(int64_t msSinceMidnight, int startHour, int startMinute, int startSecond,
                               uint32_t intervalMs, int startNetwork) noexcept;

}  // namespace nv::core
