// The schedule thread: every period it works out, from the local time of day, whether
// today's schedule has started and when its next boundary comes (ComputeScheduleArm), and
// once it has, hands that arming to the frame and ends.  The frame carries the arming out on
// its own thread (the thread itself touches no frame state), so no lock is needed there.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "netvane/schedule.h"

namespace nv::core {

struct ScheduleSettings {
  int startHour = 0;
  int startMinute = 0;
  int startSecond = 0;
  uint32_t intervalMs = 0;
  int startNetwork = 0;
};

// Milliseconds since local midnight now.
int64_t LocalMsSinceMidnight();

class ScheduleWorker {
 public:
  using Clock = std::function<int64_t()>;               // local milliseconds since midnight
  using Arm = std::function<void(const ScheduleArm&)>;  // called on the worker thread, once

  ScheduleWorker(ScheduleSettings settings, Clock clock, Arm arm,
                 std::chrono::milliseconds period = std::chrono::seconds(10));
  // Stops the thread and waits for it.
  ~ScheduleWorker();
  ScheduleWorker(const ScheduleWorker&) = delete;
  ScheduleWorker& operator=(const ScheduleWorker&) = delete;

  void Stop();

 private:
  void Run() noexcept;

  const ScheduleSettings m_settings;
  const Clock m_clock;
  const Arm m_arm;
  const std::chrono::milliseconds m_period;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;
};

}  // namespace nv::core
