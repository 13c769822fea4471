#include "local_time.h"

namespace nv::core {

bool ToLocalCalendar(time_t t, std::tm& out) noexcept { return ::localtime_r(&t, &out) != nullptr; }

}  // namespace nv::core
