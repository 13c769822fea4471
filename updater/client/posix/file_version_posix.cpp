#include "update_selection.h"

namespace nv::updater {
namespace {

// Files here carry no version resource: every installed file reads as 0.0.0.
class NoVersionReader final : public IFileVersionReader {
 public:
  FileVersion Read(const std::string&) noexcept override { return {}; }
};

}  // namespace

IFileVersionReader& NativeFileVersionReader() noexcept {
  static NoVersionReader reader;
  return reader;
}

}  // namespace nv::updater
