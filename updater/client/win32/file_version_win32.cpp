#include <cstdio>
#include <vector>

#include "platform/text.h"
#include "platform/windows_api.h"
#include "update_selection.h"

namespace nv::updater {
namespace {

// The "FileVersion" text of the version resource, in the file's first translation (else the
// user's language with the Unicode code page), split into major, minor and build.  The file is
// never loaded as a module: its code must not run just to learn its version.
class ResourceVersionReader final : public IFileVersionReader {
 public:
  FileVersion Read(const std::string& path) noexcept override {
    try {
      const std::wstring file = nv::text::Widen(path);
      DWORD ignored = 0;
      const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
      if (size == 0) return {};
      std::vector<char> data(size);
      if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
      wchar_t query[64];
      void* block = nullptr;
      UINT length = 0;
      if (::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &block, &length) && length >= 4) {
        const auto* words = static_cast<const WORD*>(block);
        std::swprintf(query, 64, L"\\StringFileInfo\\%04X%04X\\FileVersion", words[0], words[1]);
      } else {
        std::swprintf(query, 64, L"\\StringFileInfo\\%04X04B0\\FileVersion", ::GetUserDefaultLangID());
      }
      if (!::VerQueryValueW(data.data(), query, &block, &length) || length == 0) return {};
      FileVersion version;
      if (!ParseVersionText(nv::text::Narrow(static_cast<const wchar_t*>(block)), version)) return {};
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
