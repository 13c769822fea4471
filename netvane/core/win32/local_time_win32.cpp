#include "local_time.h"

namespace nv::core {

bool ToLocalCalendar(time_t t, std::tm& out) noexcept { return ::localtime_s(&out, &t) == 0; }

}  // namespace nv::core
