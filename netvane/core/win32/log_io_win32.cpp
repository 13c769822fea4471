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

bool AppendExclusive(const std::string& path, std::string_view bytes, int retryMs, bool flush) noexcept {
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
    return !flush || ::FlushFileBuffers(file.get()) != 0;
  } catch (...) {
    return false;
  }
}

bool ReplaceFlushed(const std::string& path, std::string_view bytes) noexcept {
  try {
    const std::wstring wide = text::Widen(path);
    const std::wstring temp = wide + L".tmp";
    {
      win32::UniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return false;
      for (size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                         nullptr) ||
            n == 0) {
          file.reset();
          ::DeleteFileW(temp.c_str());
          return false;
        }
        done += n;
      }
      if (!::FlushFileBuffers(file.get())) return false;
    }
    if (!::MoveFileExW(temp.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ::DeleteFileW(temp.c_str());
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool ReadSmallFile(const std::string& path, std::string& out) noexcept {
  try {
    win32::UniqueFile file(::CreateFileW(text::Widen(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    out.assign(64 * 1024, '\0');
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > static_cast<LONGLONG>(out.size())) {
      LARGE_INTEGER back{};
      back.QuadPart = -static_cast<LONGLONG>(out.size());
      ::SetFilePointerEx(file.get(), back, nullptr, FILE_END);
    }
    DWORD got = 0;
    if (!::ReadFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr)) return false;
    out.resize(got);
    return true;
  } catch (...) {
    return false;
  }
}

bool FileExists(const std::string& path) noexcept {
  try {
    return ::GetFileAttributesW(text::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  } catch (...) {
    return false;
  }
}

}  // namespace nv::core::logio
