// A raw AF_PACKET socket on one interface: every frame it receives, or one
// frame sent as given.  Needs CAP_NET_RAW.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "control_frame.h"
#include "platform/posix_fd.h"

namespace nv::switchbox {

class PacketSocket {
 public:
  [[nodiscard]] bool Open(const std::string& interface, std::string& error);
  [[nodiscard]] int fd() const noexcept { return fd_.get(); }

  // Reads one waiting frame.  Returns its size; 0 when nothing was waiting,
  // the frame was one this host sent (those are seen on the port too) or the
  // port just went down; -1 on any other error.
  [[nodiscard]] long ReceiveIncoming(std::uint8_t* buf, std::size_t size, std::string& error) noexcept;

  [[nodiscard]] bool Send(const std::uint8_t* data, std::size_t size, std::string& error) noexcept;

  [[nodiscard]] bool ReadMac(Mac& mac, std::string& error) const;

 private:
  nv::posix::UniqueFd fd_;
  int ifindex_ = 0;
  std::string interface_;
};

}  // namespace nv::switchbox
