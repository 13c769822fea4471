// The adapter descriptor that the packet driver interface hands to the system.
#pragma once

// One adapter the packet driver serves, as exchanged with the system: 394 bytes, no padding.
#pragma pack(push, 1)
struct tagADAPTER_DESC {
  char szAdapterName[128];  // "\Device\RgateII_<service name>", zero-terminated; empty: unused entry
  char szDescription[260];  // zero-terminated
  unsigned char ucMacAddr[6];
};
#pragma pack(pop)
static_assert(sizeof(tagADAPTER_DESC) == 394, "the descriptor layout is shared with the system");
using ADAPTER_DESC = tagADAPTER_DESC;
