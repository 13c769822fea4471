// A NETLINK_ROUTE socket with bounded receives: every reply is read into a fixed buffer,
// checked for truncation, sender, port and sequence, and every wait has a deadline.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "netlink_codec.h"
#include "platform/posix_fd.h"

namespace nvutil::posix {

class NetlinkSocket {
 public:
  using Handler = std::function<void(const nl::Message&)>;

  static constexpr int kReplyTimeoutMs = 3000;
  static constexpr std::size_t kBufferSize = 64 * 1024;

  // Opens the socket in the calling thread's network namespace, joined to the multicast
  // `groups` (0: none). Returns 0 or an errno value.
  int Open(std::uint32_t groups = 0) noexcept;

  // A dump: every reply message up to NLMSG_DONE goes to `onMessage`. 0 or errno
  // (EAGAIN when the kernel reports the dump was interrupted by a change).
  // `family`: nl::kFamilyInet, or nl::kFamilyUnspec for every family.
  int Dump(std::uint16_t type, const Handler& onMessage, std::uint8_t family = nl::kFamilyInet);
  // A request acknowledged by NLMSG_ERROR; returns its error number (0 = done).
  int Execute(const nl::Request& request);
  // A get request answered by one message (or an error).
  int Query(const nl::Request& request, const Handler& onMessage);
  // Waits up to `timeoutMs` for multicast notifications; 0 after delivering some,
  // ETIMEDOUT when none came, or errno.
  int WaitNotifications(int timeoutMs, const Handler& onMessage);

  std::uint32_t NextSeq() noexcept { return ++m_seq; }

 private:
  enum class Mode { Dump, Ack, Single };
  int Send(const nl::Request& request) noexcept;
  int Receive(int timeoutMs, std::vector<nl::Message>& messages);
  int Transact(const nl::Request& request, Mode mode, const Handler& onMessage);

  nv::posix::UniqueFd m_fd;
  std::uint32_t m_portId = 0;
  std::uint32_t m_seq = 0;
  std::vector<std::uint8_t> m_buffer;
};

}  // namespace nvutil::posix
