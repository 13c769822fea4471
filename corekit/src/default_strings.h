// Where resource strings come from when no source has been installed.
#pragma once
#include <string>

namespace nv::corekit {

// Windows: the executable's own string table.  Elsewhere there is none.
bool LoadDefaultString(unsigned id, std::string& text) noexcept;

}  // namespace nv::corekit
