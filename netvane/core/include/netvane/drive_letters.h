// The drive letters of one network, as the Network page's NetWare text (szNetDrv%d) gives them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nv::core {

// Entries are separated by semicolons or colons; an entry that starts with a letter gives the
// drive "<letter>:", the rest of the entry is ignored, any other entry gives nothing.
// "F;G;H" -> F: G: H:, "F:;G:" -> F: G:, "FGH" -> F:.
std::vector<std::string> ParseDriveList(std::string_view text);
// True for a drive as ParseDriveList gives it: one ASCII letter and a colon.
bool IsDriveName(std::string_view drive) noexcept;

}  // namespace nv::core
