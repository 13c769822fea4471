#include "platform/local_time.h"

namespace nv {

bool ToLocalTime(std::time_t t, std::tm& out) noexcept {
  if (::localtime_r(&t, &out) != nullptr) return true;
  out = std::tm{};
  return false;
}

}  // namespace nv
