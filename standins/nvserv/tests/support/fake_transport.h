// A hand-written fake of the emulation's transport: datagrams are queued by the test, replies
// are recorded, and the next Open or Arm can be made to fail.
#pragma once
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "src/transport.h"

namespace nvserv::testing {

struct FakeNetwork {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<std::vector<std::uint8_t>> inbox;  // an empty entry stands for an oversized datagram
  int handled = 0;  // datagrams the server finished with (it came back to Receive)
  bool handling = false;
  std::vector<DhcpReply> sent;
  bool open = false;
  bool armed = false;
  MacAddress armedMac{};
  bool armedPinned = false;  // told to make the server identifier reachable
  int opens = 0, arms = 0, disarms = 0, closes = 0;
  bool failNextOpen = false, failNextArm = false;
  bool sentWhileDisarmed = false;

  void Push(std::vector<std::uint8_t> datagram);
  // Waits until the server has finished with every queued datagram; false on timeout.
  bool WaitIdle(int timeoutMs);
  std::size_t SentCount();
};

std::unique_ptr<DhcpTransport> MakeFakeTransport(std::shared_ptr<FakeNetwork> network);

}  // namespace nvserv::testing
