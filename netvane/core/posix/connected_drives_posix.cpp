#include "netvane/isolation_step.h"

namespace nv::core {

// Linux mounts no drive letters.
std::vector<std::string> ConnectedDriveLetters(const std::vector<std::string>&) { return {}; }

}  // namespace nv::core
