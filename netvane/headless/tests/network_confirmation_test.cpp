#include "network_confirmation.h"

#include <gtest/gtest.h>

using nv::headless::ConfirmNetwork;
using Verdict = nv::headless::NetworkConfirmation::Verdict;

TEST(NetworkConfirmation, KeepsOnlyWhatTheGatewayConfirms) {
  constexpr uint32_t kGw = 0x0A5C0101;  // 10.92.1.1
  nvutil::AdapterSnapshot onB;
  onB.routes = {{0, 0, kGw}, {0x0A5C0100, 24, 0}};
  nvutil::AdapterSnapshot resolved = onB;
  resolved.neighbours = {kGw};
  nvutil::AdapterSnapshot otherRouter = resolved;
  otherRouter.routes[0].gateway = 0x0A5C0163;  // the emulation handed out 10.92.1.99
  nvutil::AdapterSnapshot nothing;

  struct Case {
    const char* what;
    uint32_t gateway;
    bool answered;
    nvutil::AdapterSnapshot snapshot;
    Verdict verdict;
    const char* detail;
  } cases[] = {
      {"answers", kGw, true, onB, Verdict::Confirmed, "gateway 10.92.1.1 answers"},
      {"silent but resolved", kGw, false, resolved, Verdict::GatewaySilent,
       "gateway 10.92.1.1 does not answer but is on this wire"},
      {"not on this wire", kGw, false, onB, Verdict::NotConfirmed,
       "gateway 10.92.1.1 is not on this wire (did the switch box switch?)"},
      {"another router", kGw, true, otherRouter, Verdict::NotConfirmed,
       "the default route goes through 10.92.1.99, not the configured gateway 10.92.1.1"},
      {"no address at all", kGw, false, nothing, Verdict::NotConfirmed,
       "gateway 10.92.1.1 is not on this wire (did the switch box switch?)"},
      {"no gateway configured", 0, false, onB, Verdict::GatewaySilent,
       "no gateway is configured to confirm the network with"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto got = ConfirmNetwork(c.gateway, c.answered, c.snapshot);
    EXPECT_EQ(got.verdict, c.verdict);
    EXPECT_EQ(got.detail, c.detail);
  }
}
