#include "default_strings.h"

namespace nv::corekit {

// Native programs have no resource section: texts come only from an installed source.
bool LoadDefaultString(unsigned, std::string&) noexcept { return false; }

}  // namespace nv::corekit
