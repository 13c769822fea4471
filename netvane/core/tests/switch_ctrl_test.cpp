#include <gtest/gtest.h>

#include <map>

#include "netvane/cfginfo.h"
#include "netvane/switch_ctrl.h"
#include "support/recording_steps.h"

using nv::core::RGFrame;

namespace {

constexpr std::array<unsigned char, 6> kMac = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};

struct Wire {
  std::vector<std::vector<unsigned char>> frames;
  std::array<unsigned char, 6> mac = kMac;
  int failSends = 0;  // this many sends fail before the rest go through
  int opens = 0;
};

class FakeLink : public rgtarn::NicLink {
 public:
  explicit FakeLink(Wire& w) : w_(w) {}
  bool ReadMac(std::array<unsigned char, 6>& mac) noexcept override {
    mac = w_.mac;
    return true;
  }
  bool ReadyToSend() noexcept override { return true; }
  bool Send(const unsigned char* f, std::size_t n) noexcept override {
    if (w_.failSends > 0) {
      --w_.failSends;
      return false;
    }
    w_.frames.emplace_back(f, f + n);
    return true;
  }

 private:
  Wire& w_;
};

struct Lines {
  std::vector<std::pair<bool, bool>> applied;
};

class FakePort : public nv::serial::SerialPort {
 public:
  explicit FakePort(Lines& l) : l_(l) {}
  bool SetLines(bool dtr, bool rts) noexcept override {
    l_.applied.emplace_back(dtr, rts);
    return true;
  }

 private:
  Lines& l_;
};

class FakeEnv : public nv::core::SwitchEnvironment {
 public:
  uint32_t now = 100000;
  bool haveLast = false;
  uint32_t last = 0;
  std::vector<uint32_t> sleeps;
  Lines lines;
  bool portOpens = true;

  uint32_t TickCount() noexcept override { return now; }
  void Sleep(uint32_t ms) noexcept override { sleeps.push_back(ms); }
  bool ReadLastSend(uint32_t& t) noexcept override {
    t = last;
    return haveLast;
  }
  void WriteLastSend(uint32_t t) noexcept override {
    haveLast = true;
    last = t;
  }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned) noexcept override {
    if (!portOpens) return nullptr;
    return std::make_unique<FakePort>(lines);
  }
};

class TestSwitch : public CSwitchCtrl {
 public:
  TestSwitch(const CCfginfo& cfg, FakeEnv& env, Wire& wire)
      : CSwitchCtrl(cfg, env, [&wire](const std::string&) -> std::unique_ptr<rgtarn::NicLink> {
          ++wire.opens;
          return std::make_unique<FakeLink>(wire);
        }) {}
};

void EthernetConfig(CCfginfo& cfg, uint32_t count) {
  cfg.dwComport = 0;
  cfg.dwPktCnt = count;
  cfg.net[0].szBindName = "\\Device\\RgateII_eth0";
}

}  // namespace

TEST(SwitchCtrl, EthernetChangeSendsTheCommandFrameCountTimesAndRecordsTheBurst) {
  for (int network : {0, 1}) {
    SCOPED_TRACE(network);
    FakeEnv env;
    Wire wire;
    CCfginfo cfg;
    EthernetConfig(cfg, 3);
    TestSwitch sw(cfg, env, wire);
    ASSERT_EQ(sw.ChangeRG(network, 1, nullptr), 1);
    ASSERT_EQ(wire.frames.size(), 3u);
    const RGFrame expected = nv::core::MakeRGFrame(kMac, false, network);
    for (const auto& f : wire.frames)
      EXPECT_EQ(f, std::vector<unsigned char>(expected.begin(), expected.end()));
    EXPECT_EQ(wire.frames[0][20], network == 0 ? 0xAA : 0x55);
    EXPECT_TRUE(env.haveLast);
    EXPECT_EQ(env.last, env.now);
    EXPECT_FALSE(sw.connected()) << "the driver is closed again after each change";
  }
}

TEST(SwitchCtrl, ReversedFrameCarriesTheLeadAndCommandAfterIt) {
  FakeEnv env;
  Wire wire;
  CCfginfo cfg;
  EthernetConfig(cfg, 1);
  cfg.reverse = 1;
  TestSwitch sw(cfg, env, wire);
  ASSERT_EQ(sw.ChangeRG(1, 1, nullptr), 1);
  ASSERT_EQ(wire.frames.size(), 1u);
  EXPECT_EQ(wire.frames[0].size(), 60u);
  EXPECT_EQ(wire.frames[0][5], 0xD5);
  EXPECT_EQ(wire.frames[0][26], 0x55);
  EXPECT_EQ(wire.frames[0][27], 0x55);
}

TEST(SwitchCtrl, IntervalWaitUsesTheInjectedClock) {
  struct Case {
    bool haveLast;
    uint32_t agoMs;
    std::vector<uint32_t> sleeps;
  } cases[] = {{true, 10000, {20000}}, {true, 40000, {}}, {true, 0, {}}, {false, 0, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.agoMs);
    FakeEnv env;
    env.haveLast = c.haveLast;
    env.last = env.now - c.agoMs;
    Wire wire;
    CCfginfo cfg;
    EthernetConfig(cfg, 1);
    cfg.dwInterval = 30;
    TestSwitch sw(cfg, env, wire);
    ASSERT_EQ(sw.ChangeRG(1, 1, nullptr), 1);
    EXPECT_EQ(env.sleeps, c.sleeps);
  }
}

TEST(SwitchCtrl, WaitFlagOffSkipsIntervalAndFrameDelays) {
  FakeEnv env;
  env.haveLast = true;
  env.last = env.now - 1000;
  Wire wire;
  CCfginfo cfg;
  EthernetConfig(cfg, 2);
  cfg.dwInterval = 30;
  cfg.dwPktDly = 50;
  TestSwitch sw(cfg, env, wire);
  EXPECT_EQ(sw.ChangeRG(0, 0, nullptr), 1);
  EXPECT_TRUE(env.sleeps.empty());

  FakeEnv env2;
  TestSwitch sw2(cfg, env2, wire);
  EXPECT_EQ(sw2.ChangeRG(0, 1, nullptr), 1);
  EXPECT_EQ(env2.sleeps, (std::vector<uint32_t>{50, 50})) << "the delay also follows the last frame";
}

TEST(SwitchCtrl, ProgressRunsFromFiftyFiveToOneHundredForTenFrames) {
  FakeEnv env;
  Wire wire;
  CCfginfo cfg;
  EthernetConfig(cfg, 10);
  TestSwitch sw(cfg, env, wire);
  nv::core::testing::RecordingSteps rec;
  ASSERT_EQ(sw.ChangeRG(1, 1, &rec), 1);
  std::vector<std::string> expected;
  for (int i = 0; i < 10; ++i)
    expected.push_back("progress " + std::to_string(55 + 5 * i) + " 'Packet Sending (" +
                       std::to_string(i + 1) + ")'");
  EXPECT_EQ(rec.calls, expected);
}

TEST(SwitchCtrl, NothingSentFailsAndKeepsTheLastBurstTime) {
  struct Case {
    uint32_t count;
    int failSends;
    std::array<unsigned char, 6> mac;
  } cases[] = {{0, 0, kMac}, {2, 2, kMac}, {3, 0, {0, 0, 0, 0, 0, 0}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    FakeEnv env;
    Wire wire;
    wire.failSends = c.failSends;
    wire.mac = c.mac;
    CCfginfo cfg;
    EthernetConfig(cfg, c.count);
    TestSwitch sw(cfg, env, wire);
    EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 0);
    EXPECT_TRUE(wire.frames.empty());
    EXPECT_FALSE(env.haveLast);
  }
}

TEST(SwitchCtrl, OneSentFrameOfSeveralIsEnough) {
  FakeEnv env;
  Wire wire;
  wire.failSends = 2;
  CCfginfo cfg;
  EthernetConfig(cfg, 3);
  TestSwitch sw(cfg, env, wire);
  EXPECT_EQ(sw.ChangeRG(0, 1, nullptr), 1);
  EXPECT_EQ(wire.frames.size(), 1u);
}

TEST(SwitchCtrl, SerialPathSetsBothLinesHighForBAndLowForA) {
  FakeEnv env;
  Wire wire;
  CCfginfo cfg;
  cfg.dwComport = 2;
  TestSwitch sw(cfg, env, wire);
  EXPECT_TRUE(sw.connected());
  EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 1);
  EXPECT_EQ(sw.ChangeRG(0, 1, nullptr), 1);
  EXPECT_EQ(sw.ChangeRG(0, 1, nullptr), 1);
  const std::vector<std::pair<bool, bool>> expected = {{true, true}, {false, false}, {false, false}};
  EXPECT_EQ(env.lines.applied, expected);
  EXPECT_EQ(wire.opens, 0) << "the serial path never opens the packet driver";
}

TEST(SwitchCtrl, NoControlPathConnectsButEveryChangeFails) {
  FakeEnv env;
  Wire wire;
  CCfginfo cfg;
  cfg.dwComport = 5;
  TestSwitch sw(cfg, env, wire);
  EXPECT_EQ(sw.ConnectRG(), 1);
  EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 0);
  EXPECT_TRUE(env.lines.applied.empty());
}

TEST(SwitchCtrl, SerialPortThatDoesNotOpenFailsUntilReinitialised) {
  FakeEnv env;
  env.portOpens = false;
  Wire wire;
  CCfginfo cfg;
  cfg.dwComport = 1;
  TestSwitch sw(cfg, env, wire);
  EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 0);
  env.portOpens = true;
  EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 0) << "the serial path waits for the next InitRG";
  sw.InitRG();
  EXPECT_EQ(sw.ChangeRG(1, 1, nullptr), 1);
}
