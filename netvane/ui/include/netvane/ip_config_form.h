// The decisions of the two IP configuration dialogs, without windows: what the fields show when
// a dialog opens, which fields are enabled, what a click changes and what OK stores in the two
// network records.  The dialogs only read their controls into these forms and carry the result
// out.  Addresses are 32-bit numbers (first octet in the high byte); 0 shows an empty field.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "netvane/cfginfo.h"

namespace nv::ui {

// The adapter text stored when no adapter is selected (none installed, or none chosen).
inline constexpr const char* kNoAdapterText = "Driver Install Need";

struct AdapterChoice {
  std::string displayName;
  std::string adapterName;
  std::array<uint8_t, 6> mac{};
};

// The combo entry to select: the last whose name equals `stored` without regard to case, else
// the first (0, also for an empty list, where nothing can be selected).
int PickAdapter(const std::vector<std::string>& names, const std::string& stored);

// ---- IP1Cfg: one fixed address kept by the adapter; only a gateway per network ----

struct Ip1Form {
  uint32_t gateway[2] = {};
  bool sameGateway = false;
};

Ip1Form Ip1Open(const NetCfgRecord (&net)[2]);
// Network B's gateway field is usable only while the same-gateway box is not ticked.
inline bool Ip1GatewayBEnabled(const Ip1Form& form) { return !form.sameGateway; }
// The fields after the box was clicked into `form.sameGateway`'s new state: ticked takes A's
// gateway (or B's when A's is empty) into A's field and empties B's.
Ip1Form Ip1SameGatewayClicked(Ip1Form form);
// Writes the form and the chosen adapter (null: none) into the records of `next` (a copy of the
// settings in force: fields the dialog does not edit keep their values); sets dwIPnum 1.
void Ip1Apply(const Ip1Form& form, const AdapterChoice* adapter, NetworkSettings& next);

// ---- IP2Cfg: a complete address set per network, obtained by DHCP at every change ----

struct Ip2NetForm {
  uint32_t address = 0;
  uint32_t mask = 0;
  uint32_t gateway = 0;
  uint32_t dns = 0;
  std::string domain;
  bool useDhcp = false;
};

struct Ip2Form {
  Ip2NetForm net[2];
};

Ip2Form Ip2Open(const NetCfgRecord (&net)[2]);
// A network's address fields, domain and spin controls are usable exactly when DHCP is off.
inline bool Ip2FieldsEnabled(const Ip2NetForm& net) { return !net.useDhcp; }
// The clear button: empty fields, DHCP off, for both networks.
Ip2Form Ip2Cleared();
// Writes the form and the chosen adapter (null: none) into the records of `next`; sets dwIPnum 2.
// Disabled fields are stored as they stand, together with the DHCP flag.
void Ip2Apply(const Ip2Form& form, const AdapterChoice* adapter, NetworkSettings& next);

}  // namespace nv::ui
