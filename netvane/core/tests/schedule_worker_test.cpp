#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "netvane/schedule_worker.h"

using nv::core::ScheduleArm;
using nv::core::ScheduleSettings;
using nv::core::ScheduleWorker;
using namespace std::chrono_literals;

namespace {

constexpr int64_t kHour = 3'600'000;
constexpr int64_t kMinute = 60'000;

// Collects the armings the worker hands over and lets the test wait for them.
class ArmRecorder {
 public:
  void Arm(const ScheduleArm& arm) {
    std::lock_guard<std::mutex> lock(mutex_);
    arms_.push_back(arm);
    changed_.notify_all();
  }
  bool WaitFor(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return arms_.size() >= count; });
  }
  std::vector<ScheduleArm> Arms() {
    std::lock_guard<std::mutex> lock(mutex_);
    return arms_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<ScheduleArm> arms_;
};

ScheduleSettings EightOClockHourly() {
  ScheduleSettings s;
  s.startHour = 8;
  s.intervalMs = 60 * kMinute;
  s.startNetwork = 0;
  return s;
}

TEST(ScheduleWorkerTest, ArmsOnceWhenTheScheduleHasStarted) {
  ArmRecorder recorder;
  std::atomic<int> ticks{0};
  {
    ScheduleWorker worker(
        EightOClockHourly(),
        [&] {
          ++ticks;
          return 9 * kHour + 30 * kMinute;
        },
        [&](const ScheduleArm& a) { recorder.Arm(a); }, 5ms);
    ASSERT_TRUE(recorder.WaitFor(1, 10s));
    std::this_thread::sleep_for(50ms);  // ten more periods: nothing more may come
  }
  const auto arms = recorder.Arms();
  ASSERT_EQ(arms.size(), 1u);
  EXPECT_EQ(arms[0].network, 0);  // 09:30: network A now, the 10:00 boundary brings B
  EXPECT_EQ(arms[0].delayMs, 30 * kMinute);
  EXPECT_EQ(ticks.load(), 1);
}

TEST(ScheduleWorkerTest, WaitsForTheStartTimeOfTheDay) {
  ArmRecorder recorder;
  std::atomic<int64_t> now{7 * kHour};
  ScheduleWorker worker(
      EightOClockHourly(), [&] { return now.load(); }, [&](const ScheduleArm& a) { recorder.Arm(a); }, 5ms);
  EXPECT_FALSE(recorder.WaitFor(1, 50ms));
  now = 8 * kHour + 1000;
  ASSERT_TRUE(recorder.WaitFor(1, 10s));
  const auto arms = recorder.Arms();
  EXPECT_EQ(arms[0].network, 1);  // the first boundary, at 09:00, brings the start network A
  EXPECT_EQ(arms[0].delayMs, 60 * kMinute - 1000);
}

TEST(ScheduleWorkerTest, StopsWithoutWaitingOutItsPeriod) {
  ArmRecorder recorder;
  auto worker = std::make_unique<ScheduleWorker>(
      EightOClockHourly(), [] { return 7 * kHour; }, [&](const ScheduleArm& a) { recorder.Arm(a); }, 24h);
  std::this_thread::sleep_for(20ms);
  worker.reset();  // would hang for a day if the wait were not interrupted
  EXPECT_TRUE(recorder.Arms().empty());
}

}  // namespace
