#include "updater/path_rules.h"
namespace nv::updater {
PathStyle NativePathStyle() noexcept { return PathStyle::kPosix; }
}  // namespace nv::updater
