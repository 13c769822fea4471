#include "corekit/dll_version.h"
#include "update_selection.h"

namespace nv::updater {
namespace {

// The "FileVersion" text of the file's own version resource, split into major, minor and build.
// Corekit reads it without loading the file: its code must not run just to learn its version.
// A file without one (every file natively) reads as 0.0.0.
class ResourceVersionReader final : public IFileVersionReader {
 public:
  FileVersion Read(const std::string& path) noexcept override {
    try {
      std::string text;
      FileVersion version;
      if (!ReadFileVersionText(path, text) || !ParseVersionText(text, version)) return {};
      return version;
    } catch (...) {
      return {};
    }
  }
};

}  // namespace

IFileVersionReader& NativeFileVersionReader() noexcept {
  static ResourceVersionReader reader;
  return reader;
}

}  // namespace nv::updater
