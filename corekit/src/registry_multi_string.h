// Packing of string arrays into multi-string data and back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corekit {

// Each string with its zero, then one more zero: an empty array is a single zero byte.
std::vector<uint8_t> PackMultiString(const std::vector<std::string>& strings);

// Strings up to the first empty one or the end of the data, whichever comes first; a last
// string without its zero is kept.
std::vector<std::string> UnpackMultiString(const uint8_t* data, size_t size);

}  // namespace corekit
