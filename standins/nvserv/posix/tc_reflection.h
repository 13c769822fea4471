// Turns the adapter's outgoing DHCP traffic back into incoming traffic, so that a server on
// the same host meets the host's own DHCP client (whose requests and replies travel as raw
// frames that never pass the local IP stack otherwise).
#pragma once
#include <string>

namespace nvserv::posix {

// Two clsact egress filters on the interface: UDP to port 67 (the client's requests, to our
// socket) and to port 68 (our replies, to the client) are redirected to the interface's ingress.
class TcReflection {
 public:
  // Filter priorities owned by the emulation; other filters on the adapter are left alone.
  static constexpr int kServerPortPrio = 49067;
  static constexpr int kClientPortPrio = 49068;

  TcReflection() = default;
  ~TcReflection() { Remove(); }
  TcReflection(const TcReflection&) = delete;
  TcReflection& operator=(const TcReflection&) = delete;

  // Installs the filters (removing stale ones of ours first). False with a reason.
  bool Install(const std::string& interfaceName, std::string& error);
  // Removes our filters, and the clsact qdisc when Install added it. Safe to repeat.
  void Remove() noexcept;
  // Removes filters of ours that a run which died while armed left on the interface; says
  // which ("" when there were none).
  static std::string RemoveStale(const std::string& interfaceName) noexcept;

 private:
  std::string interface_;
  bool installed_ = false;
  bool addedQdisc_ = false;
};

}  // namespace nvserv::posix
