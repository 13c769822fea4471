// Before a change: is there a usable registry store to read the configuration from?
#pragma once
#include <optional>
#include <string>

namespace nv::headless {

// Nothing when the store at `path` can be read (or, with `missingIsFine`, is still to be
// created); otherwise the reason in one line (missing, a folder, unreadable, corrupt).
// Creates and changes nothing.
std::optional<std::string> StoreProblem(const std::string& path, bool missingIsFine = false);

}  // namespace nv::headless
