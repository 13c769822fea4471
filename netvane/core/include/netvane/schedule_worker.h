// The schedule thread: every period it reads the schedule as stored (the option sheet changes
// it there while the program runs) and works out, from the local time of day, whether today's
// schedule has started and when its next boundary comes (ComputeScheduleArm).  It hands an
// arming to the frame once the schedule has started and again whenever the stored schedule
// changes; when the schedule is switched off it hands over a stop (an arming with arm false,
// only when it had armed) and ends.  The frame carries armings out on its own thread (the
// thread itself touches no frame state), so no lock is needed there.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "netvane/schedule.h"

namespace nv::core {

struct ScheduleSettings {
  bool on = false;
  int startHour = 0;
  int startMinute = 0;
  int startSecond = 0;
  uint32_t intervalMs = 0;
  int startNetwork = 0;
};

bool operator==(const ScheduleSettings& a, const ScheduleSettings& b) noexcept;
inline bool operator!=(const ScheduleSettings& a, const ScheduleSettings& b) noexcept { return !(a == b); }

// The schedule as stored below the product key `baseKey`, read with a registry object of its own
// (safe on the schedule thread while the frame uses the program's configuration object).
ScheduleSettings StoredScheduleSettings(const std::string& baseKey);

// Milliseconds since local midnight now.
int64_t LocalMsSinceMidnight();

class ScheduleWorker {
 public:
  using Settings = std::function<ScheduleSettings()>;   // read on the worker thread every period
  using Clock = std::function<int64_t()>;               // local milliseconds since midnight
  using Arm = std::function<void(const ScheduleArm&)>;  // called on the worker thread

  ScheduleWorker(Settings settings, Clock clock, Arm arm,
                 std::chrono::milliseconds period = std::chrono::seconds(10));
  // Stops the thread and waits for it.
  ~ScheduleWorker();
  ScheduleWorker(const ScheduleWorker&) = delete;
  ScheduleWorker& operator=(const ScheduleWorker&) = delete;

  void Stop();

 private:
  void Run() noexcept;

  const Settings m_settings;
  const Clock m_clock;
  const Arm m_arm;
  const std::chrono::milliseconds m_period;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace nv::core
