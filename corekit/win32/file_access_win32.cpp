#include <algorithm>
#include <atomic>

#include "file_access.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::corekit {

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes) noexcept {
  try {
    if (path.empty() || path.find('\0') != std::string::npos) return ReadStatus::kMissing;
    const std::wstring wide = text::Widen(path);
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attributes))
      return ReadStatus::kMissing;
    if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return ReadStatus::kUnreadable;
    win32::UniqueFile file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ReadStatus::kUnreadable;
    // Device names ("CON", "COM1") are no INI files.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return ReadStatus::kUnreadable;
    std::string data;
    char chunk[65536];
    for (;;) {
      DWORD n = 0;
      if (!::ReadFile(file.get(), chunk, sizeof chunk, &n, nullptr)) return ReadStatus::kUnreadable;
      if (n == 0) break;
      data.append(chunk, n);
    }
    bytes = std::move(data);
    return ReadStatus::kOk;
  } catch (...) {
    return ReadStatus::kUnreadable;
  }
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) noexcept {
  try {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    static std::atomic<unsigned> counter{0};
    const std::wstring target = text::Widen(path);
    const std::wstring temp = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter.fetch_add(1));
    bool ok;
    {
      win32::UniqueFile file(
          ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return false;
      ok = true;
      while (ok && !bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        ok = ::WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) && written > 0;
        bytes.remove_prefix(written);
      }
      ok = ok && ::FlushFileBuffers(file.get());
    }
    // A read-only or locked target makes the move fail; the old file then stays as it was.
    ok =
        ok && ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

std::string LegacyTextToUtf8(std::string_view bytes) { return text::AnsiToUtf8(bytes); }

}  // namespace nv::corekit
