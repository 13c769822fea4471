// The native registry store (Linux builds; Windows uses the real registry).
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "corekit/export.h"
#include "corekit/registry_api.h"

namespace corekit {

// Where the process's store lives: NV_REGISTRY_DB when set and not empty; otherwise
// $XDG_STATE_HOME/netvane/registry.db, or $HOME/.local/state/netvane/registry.db.
// Empty when none of these is known.
COREKIT_API std::string RegistryStorePath();

struct RegistryStoreOptions {
  // How long a write waits while another process writes; past it the write fails with 170.
  std::chrono::milliseconds lockWait{10000};
  // Tests: runs inside every write transaction before its first change, and may throw to
  // stand for a failure there.
  std::function<void()> insideWrite;
};

// A store on the given file, independent of the process's own (which SystemRegistryApi
// opens at RegistryStorePath() on first use).  The file and its folder are created on
// first use; a file that is not a store is reported (1015) and left untouched.
COREKIT_API std::shared_ptr<RegistryApi> OpenRegistryStore(const std::string& path,
                                                           RegistryStoreOptions options = {});

// What a store file looks like before anything opens (or creates) it.
enum class RegistryStoreState { Usable, Missing, Folder, Unreadable, Corrupt };
// `detail` (optional) gets the system's or the database's own words for a problem.
COREKIT_API RegistryStoreState ProbeRegistryStore(const std::string& path, std::string* detail = nullptr);

}  // namespace corekit
