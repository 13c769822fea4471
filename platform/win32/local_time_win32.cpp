#include "platform/local_time.h"

#include <time.h>

namespace nv {

bool ToLocalTime(std::time_t t, std::tm& out) noexcept {
  if (::localtime_s(&out, &t) == 0) return true;
  out = std::tm{};
  return false;
}

}  // namespace nv
