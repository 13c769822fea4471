#include "log_io.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::core::logio {

char PathSeparator() noexcept { return '\\'; }

void CreateFolder(const std::string& path) noexcept {
  try {
    ::CreateDirectoryW(text::Widen(path).c_str(), nullptr);
  } catch (...) {
  }
}

void DeleteFileQuietly(const std::string& path) noexcept {
  try {
    ::DeleteFileW(text::Widen(path).c_str());
  } catch (...) {
  }
}

bool AppendExclusive(const std::string& path, std::string_view bytes, int retryMs) noexcept {
  try {
    const std::wstring wide = text::Widen(path);
    const DWORD start = ::GetTickCount();
    win32::UniqueFile file;
    for (;;) {
      // Writers exclude each other; readers (an administrator's viewer, a test) may look on.
      file.reset(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file) break;
      const DWORD error = ::GetLastError();
      // Another writer (or a reader without write sharing) has the file for a moment.
      if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
          ::GetTickCount() - start >= static_cast<DWORD>(retryMs)) {
        return false;
      }
      ::Sleep(1);
    }
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return false;
    for (size_t done = 0; done < bytes.size();) {
      DWORD n = 0;
      if (!::WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                       nullptr) ||
          n == 0) {
        return false;
      }
      done += n;
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace nv::core::logio
