// The gateway check through the IP helper API: ICMP echo with IcmpSendEcho, the default route
// from the forwarding table.
#include "platform/windows_api.h"
// winsock2 before iphlpapi; icmpapi after it.
#include <winsock2.h>
// (separate block: keep after the one above)
#include <iphlpapi.h>
// (separate block: needs the two above)
#include <icmpapi.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "netvane/gateway_watch.h"

namespace nv::core {
namespace {

using Clock = std::chrono::steady_clock;

// Each request waits this long for its reply before the next one goes out.
constexpr unsigned kAttemptMs = 300;

class Win32GatewayProbe final : public IGatewayProbe {
 public:
  GatewayAnswer Echo(uint32_t gateway, unsigned waitMs, const std::atomic<bool>& stop) override {
    GatewayAnswer answer;
    HANDLE icmp = ::IcmpCreateFile();
    if (icmp == INVALID_HANDLE_VALUE) {
      answer.detail = "IcmpCreateFile error " + std::to_string(::GetLastError());
      return answer;
    }
    char request[16] = "netvane-gateway";
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + sizeof request + 8 + 64);
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    DWORD lastStatus = 0;
    do {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const DWORD timeout = static_cast<DWORD>(std::clamp<long long>(left, 1, kAttemptMs));
      const auto sent = Clock::now();
      const DWORD n = ::IcmpSendEcho(icmp, htonl(gateway), request, sizeof request, nullptr, reply.data(),
                                     static_cast<DWORD>(reply.size()), timeout);
      const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
      if (n > 0 && echo->Status == IP_SUCCESS) {
        answer.answered = true;
        answer.rttMs = static_cast<double>(echo->RoundTripTime);
        break;
      }
      lastStatus = n > 0 ? echo->Status : ::GetLastError();
      // A refusal comes back at once; do not flood the network with requests meanwhile.
      const auto spent = Clock::now() - sent;
      if (spent < std::chrono::milliseconds(kAttemptMs) && !stop)
        ::Sleep(static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::milliseconds(kAttemptMs) - spent)
                                       .count()));
    } while (Clock::now() < deadline && !stop);
    ::IcmpCloseHandle(icmp);
    if (!answer.answered) {
      // Other statuses may come from stray ICMP messages meant for others; they end no attempt
      // early, and are named only as the last one seen.
      answer.detail = "no answer within " + std::to_string(waitMs) + " ms";
      if (lastStatus != 0 && lastStatus != IP_REQ_TIMED_OUT)
        answer.detail += ", last status " + std::to_string(lastStatus);
    }
    return answer;
  }

  uint32_t CurrentGateway() override {
    ULONG size = 0;
    if (::GetIpForwardTable(nullptr, &size, TRUE) != ERROR_INSUFFICIENT_BUFFER) return 0;
    std::vector<unsigned char> buffer(size);
    auto* table = reinterpret_cast<MIB_IPFORWARDTABLE*>(buffer.data());
    if (::GetIpForwardTable(table, &size, TRUE) != NO_ERROR) return 0;
    const MIB_IPFORWARDROW* best = nullptr;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IPFORWARDROW& row = table->table[i];
      if (row.dwForwardDest != 0 || row.dwForwardMask != 0 || row.dwForwardNextHop == 0) continue;
      if (best == nullptr || row.dwForwardMetric1 < best->dwForwardMetric1) best = &row;
    }
    return best != nullptr ? ntohl(best->dwForwardNextHop) : 0;
  }
};

}  // namespace

std::unique_ptr<IGatewayProbe> MakeGatewayProbe() { return std::make_unique<Win32GatewayProbe>(); }

}  // namespace nv::core
