// Before a change: is there a usable registry store to read the configuration from?
#pragma once
#include <optional>
#include <string>

namespace nv::headless {

// Nothing when the store at `path` can be read; otherwise the reason in one line (missing,
// a folder, unreadable, corrupt).  Creates and changes nothing.
std::optional<std::string> StoreProblem(const std::string& path);

}  // namespace nv::headless
