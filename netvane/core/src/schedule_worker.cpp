#include "netvane/schedule_worker.h"

#include <ctime>

#include "corekit/debug.h"
#include "platform/local_time.h"

namespace nv::core {

int64_t LocalMsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  if (!nv::ToLocalTime(seconds, local)) return 0;
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return int64_t{local.tm_hour} * 3600000 + int64_t{local.tm_min} * 60000 + int64_t{local.tm_sec} * 1000 + ms;
}

ScheduleWorker::ScheduleWorker(ScheduleSettings settings, Clock clock, Arm arm,
                               std::chrono::milliseconds period)
    : m_settings(settings), m_clock(std::move(clock)), m_arm(std::move(arm)), m_period(period) {
  m_thread = std::thread([this] { Run(); });
}

ScheduleWorker::~ScheduleWorker() { Stop(); }

void ScheduleWorker::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void ScheduleWorker::Run() noexcept {
  try {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
      lock.unlock();
      const ScheduleArm arm =
          ComputeScheduleArm(m_clock(), m_settings.startHour, m_settings.startMinute, m_settings.startSecond,
                             m_settings.intervalMs, m_settings.startNetwork);
      if (arm.arm) {
        // The timer keeps the rhythm from here on; the thread has nothing more to do.
        m_arm(arm);
        return;
      }
      lock.lock();
      m_wake.wait_for(lock, m_period, [this] { return m_stop; });
    }
  } catch (...) {
    CDebug::dprintf("ScheduleThread: stopped by an error\n");
  }
}

}  // namespace nv::core
