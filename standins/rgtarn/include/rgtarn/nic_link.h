// What the packet driver interface needs from the platform: a link that sends raw frames on one
// adapter, and the list of adapters it can open.  win32/ reaches the adapter through the
// packet-capture library (wpcap.dll, loaded at run time), posix/ through an AF_PACKET socket.
#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rgtarn {

struct NicInfo {
  std::string service;  // Windows: the adapter's GUID "{...}"; Linux: the interface name
  std::string description;
  std::array<unsigned char, 6> mac{};
};

class NicLink {
 public:
  virtual ~NicLink() = default;
  [[nodiscard]] virtual bool ReadMac(std::array<unsigned char, 6>& mac) noexcept = 0;
  [[nodiscard]] virtual bool ReadyToSend() noexcept = 0;
  [[nodiscard]] virtual bool Send(const unsigned char* frame, std::size_t length) noexcept = 0;
};

// Opens a link on the adapter with this service name; null when it cannot.
using LinkOpener = std::function<std::unique_ptr<NicLink>(const std::string& service)>;

// The platform's packet driver.
std::unique_ptr<NicLink> OpenPlatformLink(const std::string& service) noexcept;
std::vector<NicInfo> ListPlatformNics() noexcept;

}  // namespace rgtarn
