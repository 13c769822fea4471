#include "updater/path_rules.h"
namespace nv::updater {
PathStyle NativePathStyle() noexcept { return PathStyle::kWindows; }
}  // namespace nv::updater
