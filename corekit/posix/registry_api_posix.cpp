#include <memory>

#include "corekit/registry_api.h"
#include "corekit/registry_store_path.h"
#include "sqlite_registry.h"

namespace corekit {

std::shared_ptr<RegistryApi> SystemRegistryApi() noexcept {
  // One store per process, opened on first use; it lives until exit.
  static SqliteRegistry store{std::string()};
  return std::shared_ptr<RegistryApi>(std::shared_ptr<RegistryApi>(), &store);
}

std::shared_ptr<RegistryApi> OpenRegistryStore(const std::string& path, RegistryStoreOptions options) {
  return std::make_shared<SqliteRegistry>(path, std::move(options));
}

}  // namespace corekit
