#include <gtest/gtest.h>

#include <vector>

#include "netvane/repainting_waits.h"

namespace nv::core {
namespace {

class SleepRecorder : public SwitchEnvironment {
 public:
  std::vector<uint32_t> sleeps;
  uint32_t TickCount() noexcept override { return 1234; }
  void Sleep(uint32_t ms) noexcept override { sleeps.push_back(ms); }
  bool ReadLastSend(uint32_t& tick) noexcept override {
    tick = 99;
    return true;
  }
  void WriteLastSend(uint32_t tick) noexcept override { written = tick; }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned) noexcept override { return nullptr; }
  uint32_t written = 0;
};

TEST(RepaintingWaits, SleepsAsLongInShortSlicesAndRepaintsAfterEach) {
  struct Case {
    uint32_t ms;
    std::vector<uint32_t> slices;
  } cases[] = {{0, {0}}, {30, {30}}, {50, {50}}, {120, {50, 50, 20}}, {5000, std::vector<uint32_t>(100, 50)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    SleepRecorder inner;
    int repaints = 0;
    RepaintingWaits waits(inner, [&] { ++repaints; });
    waits.Sleep(c.ms);
    EXPECT_EQ(inner.sleeps, c.slices);
    EXPECT_EQ(repaints, c.ms == 0 ? 0 : static_cast<int>(c.slices.size()));
  }
  SleepRecorder inner;
  RepaintingWaits waits(inner, nullptr);
  uint32_t tick = 0;
  EXPECT_TRUE(waits.ReadLastSend(tick));
  EXPECT_EQ(tick, 99u);
  waits.WriteLastSend(7);
  EXPECT_EQ(inner.written, 7u);
  EXPECT_EQ(waits.TickCount(), 1234u);
}

}  // namespace
}  // namespace nv::core
