#include <filesystem>
#include <system_error>

#include "corekit/folder_picker.h"

namespace corekit {
namespace {

// Natively: no drive letters and no network places; folders are listed from the file system.
class PosixFolderSource : public FolderSource {
 public:
  uint32_t LogicalDrives() override { return 0; }
  std::vector<std::string> Subfolders(const std::string& path) override {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(path, error), end; !error && it != end; it.increment(error)) {
      std::error_code kindError;
      if (it->is_directory(kindError)) names.push_back(it->path().filename().string());
    }
    return names;
  }
  std::vector<NetworkResource> Network(const NetworkResource*) override { return {}; }
};

}  // namespace

FolderSource& PlatformFolderSource() {
  static PosixFolderSource source;
  return source;
}

}  // namespace corekit

int CDlgGetPath::DoModal() noexcept {
  m_path.clear();
  return kIdCancel;
}
