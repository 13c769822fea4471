#include "netlink_socket.h"

#include <linux/fib_rules.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace nvutil::posix {

// The codec carries its own copies of these ABI values so that it builds everywhere.
static_assert(nl::kError == NLMSG_ERROR && nl::kDone == NLMSG_DONE && nl::kNewRoute == RTM_NEWROUTE &&
              nl::kDelRoute == RTM_DELROUTE && nl::kGetRoute == RTM_GETROUTE &&
              nl::kDelNeigh == RTM_DELNEIGH && nl::kGetNeigh == RTM_GETNEIGH &&
              nl::kNewNeigh == RTM_NEWNEIGH && nl::kGetLink == RTM_GETLINK && nl::kNewLink == RTM_NEWLINK &&
              nl::kNewAddr == RTM_NEWADDR && nl::kGetAddr == RTM_GETADDR && nl::kDelAddr == RTM_DELADDR);
static_assert(nl::kFlagRequest == NLM_F_REQUEST && nl::kFlagAck == NLM_F_ACK && nl::kFlagDump == NLM_F_DUMP &&
              nl::kFlagCreate == NLM_F_CREATE && nl::kFlagExclusive == NLM_F_EXCL &&
              nl::kFlagMulti == NLM_F_MULTI && nl::kFlagDumpInterrupted == NLM_F_DUMP_INTR);
static_assert(nl::kFamilyInet6 == AF_INET6 && nl::kFamilyUnspec == AF_UNSPEC &&
              nl::kRouteMultipath == RTA_MULTIPATH && nl::kTableLocal == RT_TABLE_LOCAL &&
              nl::kGetRule == RTM_GETRULE && nl::kNewRule == RTM_NEWRULE && nl::kRuleIifName == FRA_IIFNAME &&
              nl::kRuleOifName == FRA_OIFNAME && nl::kRuleTable == FRA_TABLE &&
              nl::kRulePriority == FRA_PRIORITY && nl::kRuleDst == FRA_DST && nl::kRuleSrc == FRA_SRC);
static_assert(nl::kFamilyInet == AF_INET && nl::kRouteDst == RTA_DST && nl::kRouteOif == RTA_OIF &&
              nl::kRouteGateway == RTA_GATEWAY && nl::kRoutePriority == RTA_PRIORITY &&
              nl::kRouteTable == RTA_TABLE && nl::kTableMain == RT_TABLE_MAIN &&
              nl::kProtoStatic == RTPROT_STATIC && nl::kTypeUnicast == RTN_UNICAST &&
              nl::kNeighDst == NDA_DST && nl::kLinkAddress == IFLA_ADDRESS && nl::kLinkName == IFLA_IFNAME &&
              nl::kAddrLocal == IFA_LOCAL && nl::kAddrAddress == IFA_ADDRESS &&
              nl::kGroupIpv4Addresses == RTMGRP_IPV4_IFADDR);
static_assert(sizeof(nl::RouteMsg) == sizeof(rtmsg) && sizeof(nl::NeighMsg) == sizeof(ndmsg) &&
              sizeof(nl::LinkMsg) == sizeof(ifinfomsg) && sizeof(nl::AddrMsg) == sizeof(ifaddrmsg));

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

int NetlinkSocket::Open(std::uint32_t groups) noexcept {
  m_fd.reset(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!m_fd) return errno;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = groups;
  if (::bind(m_fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int err = errno;
    m_fd.reset();
    return err;
  }
  socklen_t len = sizeof local;
  if (::getsockname(m_fd.get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    const int err = errno;
    m_fd.reset();
    return err;
  }
  m_portId = local.nl_pid;
  m_seq = static_cast<std::uint32_t>(std::time(nullptr));
  try {
    m_buffer.assign(kBufferSize, 0);
  } catch (...) {
    m_fd.reset();
    return ENOMEM;
  }
  return 0;
}

int NetlinkSocket::Send(const nl::Request& request) noexcept {
  if (!m_fd) return EBADF;
  if (!request.ok()) return EMSGSIZE;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  const ssize_t sent = ::sendto(m_fd.get(), request.data(), request.size(), 0,
                                reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
  if (sent < 0) return errno;
  return static_cast<std::size_t>(sent) == request.size() ? 0 : EIO;
}

// One datagram from the kernel, split into messages; datagrams from anyone else are dropped.
int NetlinkSocket::Receive(int timeoutMs, std::vector<nl::Message>& messages) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd pfd{m_fd.get(), POLLIN, 0};
    const int ready = ::poll(&pfd, 1, RemainingMs(deadline));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (ready == 0) return ETIMEDOUT;
    sockaddr_nl from{};
    socklen_t fromLen = sizeof from;
    const ssize_t got = ::recvfrom(m_fd.get(), m_buffer.data(), m_buffer.size(), MSG_TRUNC | MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return errno;  // ENOBUFS: the kernel dropped notifications for us
    }
    if (static_cast<std::size_t>(got) > m_buffer.size()) return EMSGSIZE;  // truncated: never half-trust it
    if (from.nl_pid != 0) continue;
    if (!nl::SplitDatagram(m_buffer.data(), static_cast<std::size_t>(got), messages)) return EBADMSG;
    return 0;
  }
}

int NetlinkSocket::Transact(const nl::Request& request, Mode mode, const Handler& onMessage) {
  if (const int err = Send(request)) return err;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
  bool interrupted = false;
  std::vector<nl::Message> messages;
  for (;;) {
    const int left = RemainingMs(deadline);
    if (left == 0) return ETIMEDOUT;
    if (const int err = Receive(left, messages)) return err;
    for (const nl::Message& msg : messages) {
      if (msg.header.seq != request.seq() || msg.header.pid != m_portId) continue;  // stale or someone else's
      if (msg.header.flags & nl::kFlagDumpInterrupted) interrupted = true;
      if (msg.header.type == nl::kError) {
        const auto err = nl::DecodeError(msg);
        if (!err) return EBADMSG;
        if (*err != 0 || mode == Mode::Ack) return *err;
        continue;
      }
      if (msg.header.type == nl::kDone) {
        if (mode != Mode::Dump) continue;
        // NLMSG_DONE may carry the dump's own error number.
        if (msg.payloadLen >= 4) {
          std::int32_t status = 0;
          std::memcpy(&status, msg.payload, sizeof status);
          if (status < 0) return -status;
        }
        return interrupted ? EAGAIN : 0;
      }
      if (msg.header.type == nl::kNoop) continue;
      if (onMessage) onMessage(msg);
      if (mode == Mode::Single) return 0;
    }
  }
}

int NetlinkSocket::Dump(std::uint16_t type, const Handler& onMessage, std::uint8_t family) {
  return Transact(nl::MakeDumpRequest(type, NextSeq(), family), Mode::Dump, onMessage);
}

int NetlinkSocket::Execute(const nl::Request& request) { return Transact(request, Mode::Ack, nullptr); }

int NetlinkSocket::Query(const nl::Request& request, const Handler& onMessage) {
  return Transact(request, Mode::Single, onMessage);
}

int NetlinkSocket::WaitNotifications(int timeoutMs, const Handler& onMessage) {
  std::vector<nl::Message> messages;
  if (const int err = Receive(timeoutMs, messages)) return err;
  for (const nl::Message& msg : messages)
    if (onMessage) onMessage(msg);
  return 0;
}

}  // namespace nvutil::posix
