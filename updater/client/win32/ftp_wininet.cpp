// wininet.h needs the types of windows.h first.
#include "platform/windows_api.h"

#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "ftp_session.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace nv::updater {
namespace {

struct InternetTraits {
  using pointer = HINTERNET;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternet = nv::UniqueHandle<InternetTraits>;

// Always from the server, and never into the user's internet cache: a copy of every list and
// file would stay there after the update, and after the product is removed.
constexpr DWORD kNotCached = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// A file transfer's handle.  Some WinINet implementations still write the transfer into a cache
// file (Wine's FTP does, whatever the flags say): once the handle is closed that file goes.
class TransferHandle {
 public:
  explicit TransferHandle(HINTERNET handle) : m_handle(handle) {
    if (!m_handle) return;
    wchar_t name[MAX_PATH + 1] = {};
    DWORD size = sizeof name;
    if (::InternetQueryOptionW(m_handle.get(), INTERNET_OPTION_DATAFILE_NAME, name, &size))
      m_cacheFile = name;
  }
  TransferHandle(const TransferHandle&) = delete;
  TransferHandle& operator=(const TransferHandle&) = delete;
  ~TransferHandle() {
    m_handle.reset();
    if (!m_cacheFile.empty() && !::DeleteFileW(m_cacheFile.c_str())) {
      CDebug::dprintf("Updagent: the cache copy %s stays (%lu)\n", nv::text::Narrow(m_cacheFile).c_str(),
                      ::GetLastError());
    }
  }
  explicit operator bool() const { return static_cast<bool>(m_handle); }
  HINTERNET get() const { return m_handle.get(); }

 private:
  UniqueInternet m_handle;
  std::wstring m_cacheFile;
};

// The server's last reply, when WinINet says it has one.
bool ExplainedError(std::string& text) {
  if (::GetLastError() != ERROR_INTERNET_EXTENDED_ERROR) return false;
  DWORD code = 0;
  DWORD size = 0;
  ::InternetGetLastResponseInfoW(&code, nullptr, &size);
  std::wstring reply(size + 1, L'\0');
  size = static_cast<DWORD>(reply.size());
  if (!::InternetGetLastResponseInfoW(&code, reply.data(), &size)) return false;
  reply.resize(size);
  text = nv::text::Narrow(reply);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return !text.empty();
}

// WinINet in active mode (no passive flag: the server connects back for each transfer).  Sizes
// come from the directory listing, since FtpGetFileSize is not dependable everywhere.
class WinInetFtpSession final : public IFtpSession {
 public:
  bool Connect(const std::string& host, uint16_t port, const std::string& user,
               const std::string& password) noexcept override {
    try {
      m_internet.reset(::InternetOpenW(L"Updagent", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
      if (!m_internet) return false;
      m_ftp.reset(::InternetConnectW(m_internet.get(), nv::text::Widen(host).c_str(), port,
                                     nv::text::Widen(user).c_str(), nv::text::Widen(password).c_str(),
                                     INTERNET_SERVICE_FTP, 0, 0));
      if (!m_ftp) CDebug::dprintf("Updagent: InternetConnect failed (%lu)\n", ::GetLastError());
      return static_cast<bool>(m_ftp);
    } catch (...) {
      return false;
    }
  }

  bool ChangeDirectory(const std::string& dir) noexcept override {
    try {
      return m_ftp && ::FtpSetCurrentDirectoryW(m_ftp.get(), nv::text::Widen(dir).c_str());
    } catch (...) {
      return false;
    }
  }

  bool CurrentDirectory(std::string& dir) noexcept override {
    try {
      wchar_t buffer[MAX_PATH + 1] = {};
      DWORD size = MAX_PATH;
      if (!m_ftp || !::FtpGetCurrentDirectoryW(m_ftp.get(), buffer, &size)) return false;
      dir = nv::text::Narrow(buffer);
      return true;
    } catch (...) {
      return false;
    }
  }

  bool List(std::vector<FtpListing>& entries) noexcept override {
    try {
      if (!m_ftp) return false;
      WIN32_FIND_DATAW data{};
      UniqueInternet find(::FtpFindFirstFileW(m_ftp.get(), L"*", &data, kNotCached, 0));
      if (!find) return ::GetLastError() == ERROR_NO_MORE_FILES;
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entries.push_back({nv::text::Narrow(data.cFileName), size});
      } while (::InternetFindNextFileW(find.get(), &data));
      return true;
    } catch (...) {
      return false;
    }
  }

  FtpDownload Download(const std::string& remote, bool ascii, size_t blockSize,
                       const std::function<bool(const char*, size_t)>& sink,
                       std::string& error) noexcept override {
    try {
      if (!m_ftp) return FtpDownload::kNoHandle;
      const DWORD type = ascii ? FTP_TRANSFER_TYPE_ASCII : FTP_TRANSFER_TYPE_BINARY;
      TransferHandle file(
          ::FtpOpenFileW(m_ftp.get(), nv::text::Widen(remote).c_str(), GENERIC_READ, type | kNotCached, 0));
      if (!file) {
        const DWORD code = ::GetLastError();
        if (ExplainedError(error)) return FtpDownload::kOpenExplained;
        error = "WinINet error " + std::to_string(code);
        return code == 0 ? FtpDownload::kNoHandle : FtpDownload::kOpenUnknown;
      }
      std::vector<char> buffer(std::max<size_t>(blockSize, 1));
      for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
          error = "WinINet error " + std::to_string(::GetLastError());
          return FtpDownload::kTransferFailed;
        }
        if (got == 0) return FtpDownload::kDone;
        if (!sink(buffer.data(), got)) return FtpDownload::kStopped;
      }
    } catch (...) {
      return FtpDownload::kOpenUnknown;
    }
  }

  void Close() noexcept override {
    m_ftp.reset();
    m_internet.reset();
  }

 private:
  UniqueInternet m_internet;
  UniqueInternet m_ftp;
};

}  // namespace

std::unique_ptr<IFtpSession> NewNativeFtpSession() { return std::make_unique<WinInetFtpSession>(); }

}  // namespace nv::updater
