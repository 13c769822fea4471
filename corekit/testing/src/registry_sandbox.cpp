#include "corekit/testing/registry_sandbox.h"

#include <cstdlib>
#include <filesystem>

#include "corekit/registry.h"

#ifdef _WIN32
#include "platform/windows_api.h"
#else
#include <unistd.h>
#endif

namespace corekit::testing {
namespace {

#ifndef _WIN32
constexpr const char* kSharedStore = "NV_TEST_REGISTRY_DB";

struct TemporaryStore {
  std::string dir;
  TemporaryStore() {
    if (const char* inherited = std::getenv(kSharedStore)) {
      ::setenv("NV_REGISTRY_DB", inherited, 1);
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "nv-test-registry-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return;
    dir = pattern;
    const std::string file = dir + "/registry.db";
    ::setenv("NV_REGISTRY_DB", file.c_str(), 1);
    ::setenv(kSharedStore, file.c_str(), 1);
  }
  ~TemporaryStore() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};
#endif

}  // namespace

void UseTemporaryRegistryStore() {
#ifndef _WIN32
  static TemporaryStore store;
#endif
}

std::string ProcessScratchName(const std::string& prefix) {
#ifdef _WIN32
  const unsigned long pid = ::GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(::getpid());
#endif
  return prefix + "-" + std::to_string(pid);
}

bool DeleteTree(RegKey root, const std::string& path) {
  CRegistry reg;
  if (!reg.Connect(root)) return false;
  if (path.find('\\') == std::string::npos) {
    // DeleteKey of a plain name works below the open key: open the root itself.
    if (!reg.Open("")) return false;
  }
  return reg.DeleteKey(path.c_str()) || reg.GetErrorCode() == 2;
}

}  // namespace corekit::testing
