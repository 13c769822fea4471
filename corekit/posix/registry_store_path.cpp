#include "corekit/registry_store_path.h"

#include <cstdlib>

namespace corekit {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string RegistryStorePath() {
  if (std::string explicitPath = Env("NV_REGISTRY_DB"); !explicitPath.empty()) return explicitPath;
  // The XDG base directory rules ignore relative paths.
  if (std::string state = Env("XDG_STATE_HOME"); !state.empty() && state[0] == '/') {
    return state + "/netvane/registry.db";
  }
  if (std::string home = Env("HOME"); !home.empty()) return home + "/.local/state/netvane/registry.db";
  return {};
}

}  // namespace corekit
