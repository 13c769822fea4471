#include "switch_box.h"

#include <gtest/gtest.h>

#include <vector>

#include "netvane/switch_frame.h"

using namespace nv::switchbox;
using nv::core::MakeRGFrame;

namespace {

class FakeConnector : public PortConnector {
 public:
  bool Connect(Port port, std::string& error) noexcept override {
    calls.push_back(port);
    if (fail_next) {
      fail_next = false;
      error = "bridge gone";
      return false;
    }
    return true;
  }
  std::vector<Port> calls;
  bool fail_next = false;
};

const Mac kMac = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};

std::uint32_t Index(Network net) { return net == Network::A ? 0 : 1; }

Outcome Send(SwitchBox& box, Network net, bool lead = false) {
  const auto f = MakeRGFrame(kMac, lead, Index(net));
  return box.OnFrame(f.data(), f.size());
}

}  // namespace

TEST(SwitchBox, PowerOnConnectsTheChosenPort) {
  for (Port p : {Port::A, Port::B, Port::None}) {
    SCOPED_TRACE(PortName(p));
    FakeConnector c;
    SwitchBox box(c);
    std::string error;
    ASSERT_TRUE(box.PowerOn(p, error));
    EXPECT_EQ(c.calls, std::vector<Port>{p});
    EXPECT_EQ(box.connected(), p);
  }
}

TEST(SwitchBox, FailedPowerOnLeavesNothingConnected) {
  FakeConnector c;
  c.fail_next = true;
  SwitchBox box(c);
  std::string error;
  EXPECT_FALSE(box.PowerOn(Port::A, error));
  EXPECT_EQ(error, "bridge gone");
  EXPECT_EQ(box.connected(), Port::None);
}

TEST(SwitchBox, CommandsMoveTheCableAndReportOneLineEach) {
  FakeConnector c;
  SwitchBox box(c);
  std::string error;
  ASSERT_TRUE(box.PowerOn(Port::A, error));

  Outcome o = Send(box, Network::B, true);
  EXPECT_TRUE(o.obeyed);
  EXPECT_EQ(o.line, "switchbox: 55 55 -> network B");
  EXPECT_EQ(box.connected(), Port::B);

  o = Send(box, Network::A);
  EXPECT_EQ(o.line, "switchbox: AA AA -> network A");
  EXPECT_EQ(box.connected(), Port::A);
  EXPECT_EQ(c.calls, (std::vector<Port>{Port::A, Port::B, Port::A}));
}

TEST(SwitchBox, RepeatedCommandIsObeyedWithoutMovingThePort) {
  FakeConnector c;
  SwitchBox box(c);
  std::string error;
  ASSERT_TRUE(box.PowerOn(Port::B, error));
  const Outcome o = Send(box, Network::B);
  EXPECT_TRUE(o.obeyed);
  EXPECT_EQ(o.line, "switchbox: 55 55 -> network B (already)");
  EXPECT_EQ(c.calls.size(), 1u);
}

TEST(SwitchBox, FromNothingTheFirstCommandConnects) {
  FakeConnector c;
  SwitchBox box(c);
  std::string error;
  ASSERT_TRUE(box.PowerOn(Port::None, error));
  EXPECT_EQ(Send(box, Network::A).line, "switchbox: AA AA -> network A");
  EXPECT_EQ(box.connected(), Port::A);
}

TEST(SwitchBox, FailedMoveIsReportedAndTheCableStays) {
  FakeConnector c;
  SwitchBox box(c);
  std::string error;
  ASSERT_TRUE(box.PowerOn(Port::A, error));
  c.fail_next = true;
  Outcome o = Send(box, Network::B);
  EXPECT_FALSE(o.obeyed);
  EXPECT_TRUE(o.line.empty());
  EXPECT_EQ(o.error, "switchbox: 55 55 -> network B failed: bridge gone");
  EXPECT_EQ(box.connected(), Port::A);
  // The next frame of the burst tries again.
  o = Send(box, Network::B);
  EXPECT_EQ(o.line, "switchbox: 55 55 -> network B");
  EXPECT_EQ(box.connected(), Port::B);
}

TEST(SwitchBox, IgnoredFramesChangeNothingAndPrintNothing) {
  FakeConnector c;
  SwitchBox box(c);
  std::string error;
  ASSERT_TRUE(box.PowerOn(Port::A, error));
  auto f = MakeRGFrame(kMac, false, 1);
  f[13] = 0x00;  // type 00 00
  const Outcome o = box.OnFrame(f.data(), f.size());
  EXPECT_FALSE(o.obeyed);
  EXPECT_TRUE(o.line.empty());
  EXPECT_TRUE(o.error.empty());
  EXPECT_EQ(o.verdict.ignored, Ignored::WrongType);
  EXPECT_EQ(box.connected(), Port::A);
  EXPECT_EQ(c.calls.size(), 1u);
}
