// The embedded default environment of the main job: one adapter, network A by DHCP,
// network B with fixed settings served by the DHCP emulation, Ethernet control frames.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace nv::headless {

struct LabEnvironment {
  std::string adapter;  // interface name
  std::array<uint8_t, 6> mac{};
  std::string installDir;
  uint32_t packetCount = 3;
  // Network B's fixed settings.
  uint32_t addressB = 0x0A5C0132;  // 10.92.1.50
  uint32_t maskB = 0xFFFFFF00;
  uint32_t gatewayB = 0x0A5C0101;  // 10.92.1.1
  uint32_t dnsB = 0x0A5C0135;      // 10.92.1.53
  uint32_t gatewayA = 0x0A5B0101;  // 10.91.1.1, for the gateway check only
  // Both networks by DHCP, nothing stored of either but the adapter.
  bool bothDhcp = false;
};

// Reads the interface's MAC; false (with `error`) when it has none.
bool ReadInterfaceMac(const std::string& adapter, std::array<uint8_t, 6>& mac, std::string& error);

// Writes the whole configuration into the registry store; false (with `error`) when a write fails.
bool WriteLabConfiguration(const LabEnvironment& env, std::string& error);

}  // namespace nv::headless
