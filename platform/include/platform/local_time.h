// Calendar time in the machine's time zone, without the shared buffer of std::localtime.
#pragma once
#include <ctime>

namespace nv {

// False when `t` cannot be represented (then `out` is zeroed).
bool ToLocalTime(std::time_t t, std::tm& out) noexcept;

}  // namespace nv
