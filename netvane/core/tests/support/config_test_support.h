// Shared helpers of the configuration tests: a scratch product key below HKEY_LOCAL_MACHINE
// that is removed afterwards, and (natively) a registry store of the test run's own.
#pragma once
#include <string>

#include "corekit/registry.h"

namespace cfgtest {

// "SOFTWARE\NetvaneTest-<pid>\Netvane-H".
std::string ScratchBaseKey();
// Removes "SOFTWARE\NetvaneTest-<pid>" with everything below it.
bool DeleteScratchTree();

// Opens (creating when needed) `path` below HKEY_LOCAL_MACHINE in `reg`.
bool OpenOrCreate(CRegistry& reg, const std::string& path);

}  // namespace cfgtest
