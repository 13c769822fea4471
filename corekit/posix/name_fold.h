// Key and value names as the registry compares them: every UTF-16 code unit upper-cased by the
// Unicode simple mapping (no locale, no expansion: "ß" stays "ß"), and names ordered by those
// code units.  The store keeps the folded form beside each name.
#pragma once
#include <string>
#include <string_view>

namespace corekit {

char16_t UpperCodeUnit(char16_t unit) noexcept;

// The form names are matched by.  Text that is not UTF-8 is folded in its ASCII letters only,
// so distinct byte strings never merge.
std::string FoldName(std::string_view utf8);

// Orders two folded names by their UTF-16 code units (UTF-8 byte order differs from it only
// between U+E000..U+FFFF and the characters above U+FFFF); <0, 0 or >0.
int CompareInUtf16Order(std::string_view a, std::string_view b) noexcept;

}  // namespace corekit
