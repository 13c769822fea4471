// Pairing a registry entry with the switch packet driver's adapter descriptors, and the texts
// the adapter list shows.  Pure functions over the descriptor table, so both registry layouts
// can be tested without a driver.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "netvane/switch_frame.h"
#include "rgtarn/adapter_desc.h"

namespace nv::core {

// What the adapter list takes from a matching descriptor.
struct NicDescriptorMatch {
  std::string description;  // as the list shows it (NT: shortened, see ShortenNicDescription)
  std::string name;         // right-trimmed adapter name
  MacAddress mac{};
};

// The zero-terminated text of a fixed-size descriptor field; a field without its zero ends at
// the field's end instead of running past it.
std::string DescriptorFieldText(const char* field, std::size_t size);

// `text` without trailing white space (space, tab, CR, LF, VT, FF).
std::string RightTrimmed(std::string_view text);

// NT list texts: a description longer than 22 characters is cut to its first 22, right-trimmed
// and followed by "...".  Characters are counted in UTF-8, so a cut never splits one.
inline constexpr std::size_t kNicDescriptionChars = 22;
std::string ShortenNicDescription(std::string_view description);

// NT: the first used descriptor whose name, from character 16 on (after "\Device\RgateII_"),
// equals `service_name` exactly, case included.  Each descriptor tried is traced.  An empty
// service name matches nothing.
std::optional<NicDescriptorMatch> FindNtDescriptor(const tagADAPTER_DESC* table, int entries,
                                                   const std::string& service_name);

// 95/98: the first used descriptor whose name equals the text after the last backslash of the
// adapter's "Driver" value (its driver instance number, such as 0000).  No backslash, or
// nothing after it, matches nothing.  The description is right-trimmed, not shortened.
std::optional<NicDescriptorMatch> FindWin9xDescriptor(const tagADAPTER_DESC* table, int entries,
                                                      const std::string& driver_value);

// The service name in a packet driver adapter name: the text after the first "RgateII_"; a name
// without that marker gives its text from character 16 on, as the adapter was matched by.
std::string ServiceNameOfAdapter(const std::string& adapter_name);

}  // namespace nv::core
