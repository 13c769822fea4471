#include "netvane/schedule.h"

namespace nv::core {

ScheduleArm ComputeScheduleArm(int64_t msSinceMidnight, int startHour, int startMinute, int startSecond,
                               uint32_t intervalMs, int startNetwork) noexcept {
  ScheduleArm result;
  const int64_t startMs =
      int64_t{startHour} * 3600000 + int64_t{startMinute} * 60000 + int64_t{startSecond} * 1000;
  if (intervalMs == 0 || msSinceMidnight < startMs) return result;

  const int64_t elapsed = msSinceMidnight - startMs;
  const int64_t interval = intervalMs;
  const int other = 1 - startNetwork;
  result.arm = true;
  result.intervalMs = intervalMs;
  if (elapsed <= interval) {
    result.network = other;
    result.delayMs = static_cast<uint32_t>(interval - elapsed);
  } else {
    const int64_t r = elapsed % interval;
    const int64_t q = (elapsed - r) / interval;
    result.network = (q % 2 == 1) ? startNetwork : other;
    result.delayMs = static_cast<uint32_t>(interval - r);
  }
  return result;
}

}  // namespace nv::core
