// The platform half of CDLLVersion.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corekit/dll_version.h"

namespace corekit::detail {

// Loads `file` as a module and asks its "DllGetVersion" export; false when it has none.
bool ReadExportedVersion(const std::string& file, VersionNumbers& version) noexcept;

// The version resource of `path`: its translation table (empty when it has none) and the text at
// a sub-block path; false when the file has no version resource.
struct VersionResource {
  virtual ~VersionResource() = default;
  virtual std::vector<uint8_t> Translation() const = 0;
  virtual bool Text(const std::string& subBlock, std::string& text) const = 0;
};
bool ReadVersionResource(const std::string& path,
                         const std::function<void(const VersionResource&)>& use) noexcept;

std::string CurrentDirectory();
uint16_t UserDefaultLanguage() noexcept;

}  // namespace corekit::detail
