#include "store_check.h"

#include "corekit/registry_store_path.h"

namespace nv::headless {

std::optional<std::string> StoreProblem(const std::string& path, bool missingIsFine) {
  using State = corekit::RegistryStoreState;
  if (path.empty()) return "no registry store location is known (set NV_REGISTRY_DB or HOME)";
  std::string detail;
  const std::string quoted = "'" + path + "'";
  switch (corekit::ProbeRegistryStore(path, &detail)) {
    case State::Usable:
      return std::nullopt;
    case State::Missing:
      if (missingIsFine) return std::nullopt;
      return "the registry store " + quoted +
             " is missing (run nvchange --configure-lab ADAPTER INSTALL_DIR to create it)";
    case State::Folder:
      return "the registry store " + quoted + " is a folder, not a store file";
    case State::Unreadable:
      return "the registry store " + quoted + " is unreadable: " + detail;
    case State::Corrupt:
      return "the registry store " + quoted + " is corrupt: " + detail;
  }
  return "the registry store " + quoted + " cannot be used";
}

}  // namespace nv::headless
