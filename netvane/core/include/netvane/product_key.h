// The product's registry key below HKEY_LOCAL_MACHINE, formatted from the maker's key name.
#pragma once
#include <string>
#include <string_view>

namespace nv::core {

inline constexpr const char* kMakerKeyName = "Tarn";

// "SOFTWARE\<maker>\Netvane-H".
std::string ProductKeyPath(std::string_view maker = kMakerKeyName);

}  // namespace nv::core
