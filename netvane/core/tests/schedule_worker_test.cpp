#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corekit/registry.h"
#include "netvane/schedule_worker.h"
#include "support/config_test_support.h"

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

ScheduleWorker::Settings EightOClockHourly() {
  ScheduleSettings s;
  s.on = true;
  s.startHour = 8;
  s.intervalMs = 60 * kMinute;
  s.startNetwork = 0;
  return [s] { return s; };
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

// The option sheet changes the schedule in the store while the program runs.
class ScheduleFromStore : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(cfgtest::DeleteScratchTree()); }
  void TearDown() override { EXPECT_TRUE(cfgtest::DeleteScratchTree()); }
  void Store(const char* name, const char* text) {
    CRegistry key;
    ASSERT_TRUE(cfgtest::OpenOrCreate(key, base));
    ASSERT_TRUE(key.SetValue(name, std::string(text)));
  }
  const std::string base = cfgtest::ScratchBaseKey();
};

TEST_F(ScheduleFromStore, FollowsTheStoredScheduleAndEndsWhenItIsSwitchedOff) {
  Store("AutoChangeOnOff", "ON");
  Store("AutoChangeStartHour", "8");
  Store("AutoChangeStartMinute", "0");
  Store("AutoChangeInterval", "60");
  Store("AutoChangeStartNetwork", "INTRANET");
  ArmRecorder recorder;
  std::atomic<int> reads{0};
  ScheduleWorker worker(
      [&] {
        ++reads;
        return nv::core::StoredScheduleSettings(base);
      },
      [] { return 9 * kHour + 30 * kMinute; }, [&](const ScheduleArm& a) { recorder.Arm(a); }, 5ms);

  struct Step {
    const char* what;
    const char* name;  // the value changed before the step (null: none)
    const char* text;
    bool arm;
    int network;
    int64_t delay, interval;
  } steps[] = {
      {"started at 08:00, hourly", nullptr, nullptr, true, 0, 30 * kMinute, 60 * kMinute},
      {"every two hours", "AutoChangeInterval", "120", true, 1, 30 * kMinute, 120 * kMinute},
      {"start moved to 10:00", "AutoChangeStartHour", "10", false, 0, 0, 0},
      {"start back at 08:00", "AutoChangeStartHour", "8", true, 1, 30 * kMinute, 120 * kMinute},
      {"switched off", "AutoChangeOnOff", "OFF", false, 0, 0, 0},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE(step.what);
    if (step.name) Store(step.name, step.text);
    ASSERT_TRUE(recorder.WaitFor(i + 1, 10s));
    const ScheduleArm arm = recorder.Arms()[i];
    EXPECT_EQ(arm.arm, step.arm);
    if (!step.arm) continue;
    EXPECT_EQ(arm.network, step.network);
    EXPECT_EQ(arm.delayMs, step.delay);
    EXPECT_EQ(arm.intervalMs, step.interval);
  }
  // Switched off, the thread has ended: it reads no more and arms nothing more.
  const int readsWhenOff = reads.load();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(reads.load(), readsWhenOff);
  EXPECT_EQ(recorder.Arms().size(), std::size(steps));
}

}  // namespace
