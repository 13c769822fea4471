// Local calendar time of a time value (the platform's thread-safe conversion).
#pragma once
#include <ctime>

namespace nv::core {

bool ToLocalCalendar(time_t t, std::tm& out) noexcept;

}  // namespace nv::core
