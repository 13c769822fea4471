// After a change: does the new network's gateway answer?  Our own bounded check; it
// changes nothing in the sequence.
#pragma once
#include <cstdint>
#include <string>

namespace nv::headless {

struct GatewayAnswer {
  bool answered = false;
  double rttMs = 0;
  std::string detail;  // why not, when it did not answer
};

// Sends ICMP echo requests to `gateway` until one is answered or `waitMs` has passed.
GatewayAnswer CheckGateway(uint32_t gateway, unsigned waitMs) noexcept;

}  // namespace nv::headless
