// Natively a link is a desktop-entry file: the target is its "Exec=" line.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "file_access.h"
#include "shell_link_platform.h"

namespace corekit::detail {
namespace {

constexpr std::string_view kExec = "Exec=";

std::string NativePath(const std::string& path) { return NativeFilePath(path); }

}  // namespace

// Natively folders are separated by "/"; the portable code joins with "\".
std::string NativeFilePath(const std::string& path) {
  std::string native = path;
  for (char& c : native)
    if (c == '\\') c = '/';
  return native;
}

long CreateLinkFile(const std::string& target, const std::string& description, const std::string& linkFile,
                    bool& pathFailed) noexcept {
  try {
    pathFailed = target.find('\n') != std::string::npos;
    const std::string entry = "[Desktop Entry]\nType=Application\nComment=" + description + "\n" +
                              std::string(kExec) + (pathFailed ? std::string() : target) + "\n";
    return nv::corekit::ReplaceFileContents(NativePath(linkFile), entry) ? 0 : 5;  // access denied
  } catch (...) {
    return 8;  // not enough memory
  }
}

bool ReadLinkTarget(const std::string& linkFile, std::string& target) noexcept {
  try {
    std::string bytes;
    if (nv::corekit::ReadWholeFile(NativePath(linkFile), bytes) != nv::corekit::ReadStatus::kOk) return false;
    if (bytes.rfind("[Desktop Entry]\n", 0) != 0) return false;
    const size_t at = bytes.find("\n" + std::string(kExec));
    if (at == std::string::npos) return false;
    const size_t start = at + 1 + kExec.size();
    const size_t end = bytes.find('\n', start);
    target = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
  } catch (...) {
    return false;
  }
}

bool RenameFile(const std::string& from, const std::string& to) noexcept {
  try {
    // Like the Windows rename: an existing file of the new name is never replaced.
    std::error_code error;
    if (std::filesystem::exists(NativePath(to), error) || error) return false;
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
  } catch (...) {
    return false;
  }
}

bool RemoveFile(const std::string& file) noexcept {
  try {
    return std::remove(NativePath(file).c_str()) == 0;
  } catch (...) {
    return false;
  }
}

}  // namespace corekit::detail
