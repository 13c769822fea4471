// For tests that touch the registry: keep them off every real store and clean up after them.
#pragma once
#include <string>

#include "corekit/registry_api.h"

namespace corekit::testing {

// Natively: points this process's registry store at a temporary file, removed at exit; a
// test program started by another one shares its parent's.  Call it before the first
// registry access (a static initialiser of the test program does).  Nothing on Windows.
void UseTemporaryRegistryStore();

// "<prefix>-<process id>": a key name no other test process uses at the same time.
std::string ProcessScratchName(const std::string& prefix);

// Deletes `path` below `root` with everything under it; true when it is gone afterwards.
bool DeleteTree(RegKey root, const std::string& path);

}  // namespace corekit::testing
