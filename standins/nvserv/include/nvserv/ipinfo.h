// The fixed settings the tray program hands to the DHCP emulation.
#pragma once
#include <cstddef>
#include <cstdint>

// 274 bytes of content, kept in a 276-byte slot (the struct's natural padding).
// Addresses are 32-bit numbers with the first octet in the most significant byte.
struct _uIPINFO {
  std::uint32_t dwIPAddr;      // address to hand out
  std::uint32_t dwSubnetMask;  // subnet mask
  std::uint32_t dwGateway;     // default gateway, 0 for none
  char szDns[256];             // first name server as "%d.%d.%d.%d", zero-terminated
  std::uint8_t ucMacAddr[6];   // the adapter whose request is answered
};

static_assert(offsetof(_uIPINFO, dwIPAddr) == 0, "_uIPINFO layout");
static_assert(offsetof(_uIPINFO, dwSubnetMask) == 4, "_uIPINFO layout");
static_assert(offsetof(_uIPINFO, dwGateway) == 8, "_uIPINFO layout");
static_assert(offsetof(_uIPINFO, szDns) == 12, "_uIPINFO layout");
static_assert(offsetof(_uIPINFO, ucMacAddr) == 268, "_uIPINFO layout");
static_assert(offsetof(_uIPINFO, ucMacAddr) + sizeof(_uIPINFO::ucMacAddr) == 274,
              "_uIPINFO content is 274 bytes");
static_assert(sizeof(_uIPINFO) == 276, "_uIPINFO slot is 276 bytes");
