#include <string>

#include "platform/windows_api.h"
// sddl.h needs the types of windows.h first.
#include <sddl.h>

#include "platform/text.h"
#include "platform/win32_handles.h"
#include "updater/file_system.h"

namespace nv::updater {
namespace {

thread_local DWORD t_lastError = 0;

bool Fail() noexcept {
  t_lastError = ::GetLastError();
  return false;
}

std::wstring Wide(const std::string& path) { return nv::text::Widen(path); }

class Win32ReadFile final : public IReadFile {
 public:
  explicit Win32ReadFile(HANDLE h) : m_file(h) {}
  bool Read(char* buffer, size_t capacity, size_t& got) noexcept override {
    DWORD n = 0;
    const DWORD want = capacity > 0x40000000 ? 0x40000000 : static_cast<DWORD>(capacity);
    if (!::ReadFile(m_file.get(), buffer, want, &n, nullptr)) return Fail();
    got = n;
    return true;
  }
  uint64_t Size() const noexcept override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(m_file.get(), &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }

 private:
  nv::win32::UniqueFile m_file;
};

class Win32WriteFile final : public IWriteFile {
 public:
  explicit Win32WriteFile(HANDLE h) : m_file(h) {}
  bool Write(const char* data, size_t size) noexcept override {
    while (size > 0) {
      const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
      DWORD n = 0;
      if (!::WriteFile(m_file.get(), data, chunk, &n, nullptr) || n == 0) return Fail();
      data += n;
      size -= n;
    }
    return true;
  }
  bool Flush() noexcept override { return ::FlushFileBuffers(m_file.get()) || Fail(); }
  bool Close() noexcept override {
    if (!m_file) return true;
    return ::CloseHandle(m_file.release()) || Fail();
  }

 private:
  nv::win32::UniqueFile m_file;
};

class Win32FileSystem final : public IFileSystem {
 public:
  std::unique_ptr<IReadFile> OpenRead(const std::string& path) noexcept override {
    try {
      HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) return Fail(), nullptr;
      if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        t_lastError = ERROR_ACCESS_DENIED;
        return nullptr;
      }
      return std::make_unique<Win32ReadFile>(h);
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
  }
  std::unique_ptr<IWriteFile> Create(const std::string& path) noexcept override {
    return Open(Wide(path), CREATE_ALWAYS);
  }
  std::unique_ptr<IWriteFile> CreateTemporary(const std::string& dir, std::string& path) noexcept override {
    try {
      // A name of our own beside the target: process id and a counter, created only if new.
      static LONG counter = 0;
      for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = Wide(dir) + L"\\~nvcopy-" + std::to_wstring(::GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(::InterlockedIncrement(&counter)) + L".tmp";
        auto file = Open(name, CREATE_NEW);
        if (file) {
          path = nv::text::Narrow(name);
          return file;
        }
        if (t_lastError != ERROR_FILE_EXISTS) return nullptr;
      }
      return nullptr;
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
  }
  bool Replace(const std::string& from, const std::string& to) noexcept override {
    // Write-through: the rename is on the disk before the call returns.
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
           Fail();
  }
  bool Remove(const std::string& path) noexcept override {
    return ::DeleteFileW(Wide(path).c_str()) || Fail();
  }
  bool CreateDirectory(const std::string& path) noexcept override {
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    return Fail();
  }
  bool Exists(const std::string& path) noexcept override {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool IsReplaceableTarget(const std::string& path) noexcept override {
    try {
      const std::wstring target = Wide(path);
      const DWORD attributes = ::GetFileAttributesW(target.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        return Fail();
      }
      if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
        t_lastError = ERROR_CANT_ACCESS_FILE;
        return false;
      }
      // A device answers to a file's attributes too ("C:\x\NUL"): opened without any access
      // right, only what it is is asked.
      nv::win32::UniqueFile file(::CreateFileW(
          target.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
          nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (!file) return Fail();
      if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        t_lastError = ERROR_CANT_ACCESS_FILE;
        return false;
      }
      return true;
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
  }
  bool InUse(const std::string& path) noexcept override {
    try {
      nv::win32::UniqueFile file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file) return false;
      const DWORD error = ::GetLastError();
      return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    } catch (...) {
      return false;
    }
  }
  bool ReplaceAtRestart(const std::string& from, const std::string& to) noexcept override {
    try {
      return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) ||
             Fail();
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
  }
  bool CreatePrivateDirectory(const std::string& path) noexcept override {
    try {
      const std::wstring folder = Wide(path);
      const DWORD attributes = ::GetFileAttributesW(folder.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
          t_lastError = ERROR_CANT_ACCESS_FILE;
          return false;
        }
        if (!EmptyAndRemove(folder)) return false;
      }
      // SYSTEM and Administrators: full control; users: read and run, so that nobody else can
      // put or change a file between the client's check and the finisher's copy.
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1, &descriptor,
              nullptr))
        return Fail();
      SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
      const BOOL created = ::CreateDirectoryW(folder.c_str(), &security);
      if (!created) Fail();
      ::LocalFree(descriptor);
      if (!created) return false;
      // What was made must be a plain folder.
      const DWORD made = ::GetFileAttributesW(folder.c_str());
      if (made == INVALID_FILE_ATTRIBUTES || (made & FILE_ATTRIBUTE_REPARSE_POINT)) {
        t_lastError = ERROR_CANT_ACCESS_FILE;
        return false;
      }
      return true;
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
  }
  std::string LastError() const override {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        t_lastError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = n ? nv::text::Narrow(std::wstring(text, n)) : "error " + std::to_string(t_lastError);
    if (text) ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
  }

 private:
  static bool EmptyAndRemove(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      bool ok = true;
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !::DeleteFileW((folder + L"\\" + name).c_str())) {
          if (!::GetLastError()) ::SetLastError(ERROR_DIR_NOT_EMPTY);
          ok = Fail();
          break;
        }
      } while (::FindNextFileW(find, &data));
      ::FindClose(find);
      if (!ok) return false;
    }
    return ::RemoveDirectoryW(folder.c_str()) || Fail();
  }

  static std::unique_ptr<IWriteFile> Open(const std::wstring& path, DWORD disposition) noexcept {
    try {
      HANDLE h =
          ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) return Fail(), nullptr;
      if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        t_lastError = ERROR_ACCESS_DENIED;
        return nullptr;
      }
      return std::make_unique<Win32WriteFile>(h);
    } catch (...) {
      t_lastError = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
  }
};

}  // namespace

IFileSystem& NativeFileSystem() noexcept {
  static Win32FileSystem fs;
  return fs;
}

}  // namespace nv::updater
