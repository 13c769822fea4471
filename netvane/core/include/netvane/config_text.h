// Text rules of the configuration store.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nv::core {

// The digits at the start of `text` as a number: "12:30" gives 12, "" or " 7" gives 0.
// Numbers too large for 32 bits give the largest one.
uint32_t LeadingDecimal(std::string_view text) noexcept;

// The first `count` characters of UTF-8 text, never cutting a character in two.
std::string FirstCharacters(const std::string& utf8, size_t count);

}  // namespace nv::core
