#include <filesystem>
#include <system_error>

#include "dll_version_platform.h"

namespace corekit::detail {

// Native files export no version and carry no version resource.
bool ReadExportedVersion(const std::string&, VersionNumbers&) noexcept { return false; }

bool ReadVersionResource(const std::string&, const std::function<void(const VersionResource&)>&) noexcept {
  return false;
}

std::string CurrentDirectory() {
  std::error_code error;
  return std::filesystem::current_path(error).string();
}

uint16_t UserDefaultLanguage() noexcept { return 0x0409; }

}  // namespace corekit::detail
