// Moves the cable between the bridges with one rtnetlink request, the same
// change as `ip link set CABLE master BRIDGE` (or `nomaster`), without a shell.
#pragma once
#include <string>

#include "switch_box.h"

namespace nv::switchbox {

class NetlinkConnector final : public PortConnector {
 public:
  NetlinkConnector(std::string cable, std::string port_a, std::string port_b)
      : cable_(std::move(cable)), port_a_(std::move(port_a)), port_b_(std::move(port_b)) {}

  // Checks that all three interfaces exist now, so a typo fails at start.
  [[nodiscard]] bool Check(std::string& error) const;

  [[nodiscard]] bool Connect(Port port, std::string& error) noexcept override;

 private:
  std::string cable_, port_a_, port_b_;
};

}  // namespace nv::switchbox
