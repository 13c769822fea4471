// Adapter names and the descriptor table, as the system reads them.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "rgtarn/adapter_desc.h"
#include "rgtarn/nic_link.h"

namespace rgtarn {

// Adapter names carry this at characters 8 to 15, after "\Device\", followed by the service name.
inline constexpr char kAdapterPrefix[] = "\\Device\\RgateII_";
inline constexpr std::size_t kMarkerOffset = 8;

// "\Device\RgateII_<service>".
std::string AdapterNameFor(const std::string& service);
// The text after the first "RgateII_", or the whole name when it has none.
std::string ServiceNameOf(const std::string& adapter_name);
// Zeroes min(max_entries, 20) descriptors and fills them from `nics` in order; returns the count.
// Names and descriptions too long for their fields are cut (never inside a UTF-8 character).
int FillAdapterTable(const std::vector<NicInfo>& nics, tagADAPTER_DESC* table, int max_entries) noexcept;

}  // namespace rgtarn
