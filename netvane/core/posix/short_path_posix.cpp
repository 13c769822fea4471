#include "netvane/ad_folder.h"

namespace nv::core {

// Linux file systems have no short names.
std::optional<std::string> SystemShortPath(const std::string&) { return std::nullopt; }

}  // namespace nv::core
