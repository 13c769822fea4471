#include "netvane/schedule_worker.h"

#include <ctime>

#include "corekit/debug.h"
#include "netvane/cfginfo.h"
#include "platform/local_time.h"

namespace nv::core {

bool operator==(const ScheduleSettings& a, const ScheduleSettings& b) noexcept {
  return a.on == b.on && a.startHour == b.startHour && a.startMinute == b.startMinute &&
         a.startSecond == b.startSecond && a.intervalMs == b.intervalMs && a.startNetwork == b.startNetwork;
}

ScheduleSettings StoredScheduleSettings(const std::string& baseKey) {
  CCfginfo stored;
  stored.SetKeys(baseKey);
  stored.LoadSchedule();
  ScheduleSettings s;
  s.on = stored.scheduleOn != 0;
  s.startHour = stored.startHour;
  s.startMinute = stored.startMinute;
  s.startSecond = stored.startSecond;
  s.intervalMs = stored.scheduleInterval;
  s.startNetwork = static_cast<int>(stored.startNetwork);
  return s;
}

int64_t LocalMsSinceMidnight() {
  const auto now = std::chrono::system_clock::now();
  const time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  if (!nv::ToLocalTime(seconds, local)) return 0;
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return int64_t{local.tm_hour} * 3600000 + int64_t{local.tm_min} * 60000 + int64_t{local.tm_sec} * 1000 + ms;
}

ScheduleWorker::ScheduleWorker(Settings settings, Clock clock, Arm arm, std::chrono::milliseconds period)
    : m_settings(std::move(settings)), m_clock(std::move(clock)), m_arm(std::move(arm)), m_period(period) {
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
    bool armed = false;
    ScheduleSettings armedWith;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
      lock.unlock();
      const ScheduleSettings settings = m_settings();
      if (!settings.on) {
        CDebug::dprintf("ScheduleThread: schedule off\n");
        if (armed) m_arm(ScheduleArm{});
        return;
      }
      // An armed timer keeps its rhythm (also past midnight) until the schedule itself changes.
      if (!armed || armedWith != settings) {
        const ScheduleArm arm =
            ComputeScheduleArm(m_clock(), settings.startHour, settings.startMinute, settings.startSecond,
                               settings.intervalMs, settings.startNetwork);
        if (arm.arm) {
          m_arm(arm);
          armed = true;
          armedWith = settings;
        } else if (armed) {
          // Moved to a later start today, or no interval any more: nothing runs until then.
          m_arm(ScheduleArm{});
          armed = false;
        }
      }
      lock.lock();
      m_wake.wait_for(lock, m_period, [this] { return m_stop; });
    }
  } catch (...) {
    CDebug::dprintf("ScheduleThread: stopped by an error\n");
  }
}

}  // namespace nv::core
