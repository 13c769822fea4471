#include "updater/file_system.h"

#include "updater/path_rules.h"

namespace nv::updater {

bool ReadWholeFile(IFileSystem& fs, const std::string& path, std::string& bytes) noexcept {
  try {
    auto in = fs.OpenRead(path);
    if (!in) return false;
    bytes.clear();
    char buffer[8192];
    for (;;) {
      size_t got = 0;
      if (!in->Read(buffer, sizeof buffer, got)) return false;
      if (got == 0) return true;
      bytes.append(buffer, got);
    }
  } catch (...) {
    return false;
  }
}

bool ReplaceWholeFile(IFileSystem& fs, const std::string& path, const std::string& bytes) noexcept {
  try {
    std::string dir = ParentDirectory(path, NativePathStyle());
    if (dir.empty()) dir = ".";
    std::string temporary;
    auto out = fs.CreateTemporary(dir, temporary);
    if (!out) return false;
    bool ok = out->Write(bytes.data(), bytes.size()) && out->Flush();
    ok = out->Close() && ok;
    ok = ok && fs.Replace(temporary, path);
    if (!ok) fs.Remove(temporary);
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace nv::updater
