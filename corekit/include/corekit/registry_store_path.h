// The native registry store (Linux builds; Windows uses the real registry).
#pragma once
#include <memory>
#include <string>

#include "corekit/export.h"
#include "corekit/registry_api.h"

namespace corekit {

// Where the process's store lives: NV_REGISTRY_DB when set and not empty; otherwise
// $XDG_STATE_HOME/netvane/registry.db, or $HOME/.local/state/netvane/registry.db.
// Empty when none of these is known.
COREKIT_API std::string RegistryStorePath();

// A store on the given file, independent of the process's own (which SystemRegistryApi
// opens at RegistryStorePath() on first use).  The file and its folder are created on
// first use; a file that is not a store is reported (1015) and left untouched.
COREKIT_API std::shared_ptr<RegistryApi> OpenRegistryStore(const std::string& path);

}  // namespace corekit
