// The gateway check's ICMP echo through the IP helper API, under Wine: an address that answers,
// one that does not (within the time limit), and a stop that ends a long wait early.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "netvane/gateway_watch.h"

namespace nv::core {
namespace {

using Clock = std::chrono::steady_clock;

TEST(GatewayProbeWine, AnswersSilenceAndStopWithinTheirLimits) {
  auto probe = MakeGatewayProbe();
  ASSERT_NE(probe, nullptr);
  std::atomic<bool> stop{false};

  const GatewayAnswer loopback = probe->Echo(0x7F000001, 3000, stop);  // 127.0.0.1
  // Loopback always answers where ICMP echo may be sent at all.
  if (!loopback.answered)
    GTEST_SKIP() << "ICMP echo is not allowed here (" << loopback.detail << "): needs root";
  EXPECT_GE(loopback.rttMs, 0);

  // 198.51.100.1 is a documentation address: nobody answers it.
  auto started = Clock::now();
  const GatewayAnswer silent = probe->Echo(0xC6336401, 800, stop);
  EXPECT_FALSE(silent.answered);
  EXPECT_EQ(silent.detail.rfind("no answer within 800 ms", 0), 0u) << silent.detail;
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(800 + 1000));

  started = Clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const GatewayAnswer stopped = probe->Echo(0xC6336401, 60000, stop);
  stopper.join();
  EXPECT_FALSE(stopped.answered);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
}

}  // namespace
}  // namespace nv::core
