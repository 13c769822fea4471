#include "gateway_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/posix_fd.h"

namespace nv::headless {
namespace {

using Clock = std::chrono::steady_clock;

uint16_t Checksum(const uint8_t* data, size_t n) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < n; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (n & 1) sum += static_cast<uint32_t>(data[n - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// Raw sockets (root) see the IP header; datagram ICMP sockets do not.
bool IsOurReply(const uint8_t* buf, ssize_t n, bool raw, uint16_t id, uint16_t seq) {
  size_t off = 0;
  if (raw) {
    if (n < 20) return false;
    off = static_cast<size_t>(buf[0] & 0x0F) * 4;
  }
  if (n < static_cast<ssize_t>(off + 8)) return false;
  const uint8_t* icmp = buf + off;
  if (icmp[0] != ICMP_ECHOREPLY) return false;
  const uint16_t gotId = static_cast<uint16_t>(icmp[4] << 8 | icmp[5]);
  const uint16_t gotSeq = static_cast<uint16_t>(icmp[6] << 8 | icmp[7]);
  // A datagram socket rewrites the id to its own port, so only the sequence is ours there.
  return gotSeq == seq && (!raw || gotId == id);
}

}  // namespace

GatewayAnswer CheckGateway(uint32_t gateway, unsigned waitMs) noexcept {
  GatewayAnswer answer;
  if (gateway == 0) {
    answer.detail = "no gateway configured";
    return answer;
  }
  bool raw = true;
  nv::posix::UniqueFd fd(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
  if (!fd) {
    raw = false;
    fd.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP));
  }
  if (!fd) {
    answer.detail = std::string("cannot open an ICMP socket: ") + std::strerror(errno);
    return answer;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(gateway);

  const uint16_t id = static_cast<uint16_t>(::getpid());
  const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
  uint16_t seq = 0;
  do {
    ++seq;
    uint8_t req[16] = {ICMP_ECHO,
                       0,
                       0,
                       0,
                       static_cast<uint8_t>(id >> 8),
                       static_cast<uint8_t>(id),
                       static_cast<uint8_t>(seq >> 8),
                       static_cast<uint8_t>(seq)};
    const uint16_t sum = Checksum(req, sizeof req);
    req[2] = static_cast<uint8_t>(sum >> 8);
    req[3] = static_cast<uint8_t>(sum);
    const auto sent = Clock::now();
    if (::sendto(fd.get(), req, sizeof req, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
      answer.detail = std::string("cannot send: ") + std::strerror(errno);
    }
    // Listen up to 300 ms for this request's reply, then ask again.
    const auto stop = std::min(deadline, sent + std::chrono::milliseconds(300));
    while (Clock::now() < stop) {
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(stop - Clock::now()).count());
      pollfd p{fd.get(), POLLIN, 0};
      if (::poll(&p, 1, left > 0 ? left : 0) <= 0) break;
      uint8_t buf[512];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = ::recvfrom(fd.get(), buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n > 0 && from.sin_addr.s_addr == to.sin_addr.s_addr && IsOurReply(buf, n, raw, id, seq)) {
        answer.answered = true;
        answer.rttMs = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        return answer;
      }
    }
  } while (Clock::now() < deadline);
  if (answer.detail.empty()) answer.detail = "no answer within " + std::to_string(waitMs) + " ms";
  return answer;
}

}  // namespace nv::headless
