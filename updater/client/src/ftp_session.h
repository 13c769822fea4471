// The FTP client the update client talks through: WinINet on Windows, libcurl natively, fakes in
// tests.  One session, one transfer at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nv::updater {

struct FtpListing {
  std::string name;
  uint64_t size = 0;
};

enum class FtpDownload {
  kDone,            // the server sent the whole file
  kStopped,         // the sink asked to stop
  kOpenExplained,   // the server refused the file with a reply (in `error`)
  kOpenUnknown,     // opening failed for another reason
  kNoHandle,        // no transfer could be started
  kTransferFailed,  // the transfer broke off
};

class IFtpSession {
 public:
  virtual ~IFtpSession() = default;
  // Standard port unless the deployment says otherwise; active mode.
  virtual bool Connect(const std::string& host, uint16_t port, const std::string& user,
                       const std::string& password) noexcept = 0;
  virtual bool ChangeDirectory(const std::string& dir) noexcept = 0;
  virtual bool CurrentDirectory(std::string& dir) noexcept = 0;
  // The files of the current directory with their sizes.
  virtual bool List(std::vector<FtpListing>& entries) noexcept = 0;
  // Reads `remote` (a name in the current directory or an absolute path) in blocks of at most
  // `blockSize` bytes; `sink` returns false to stop.
  virtual FtpDownload Download(const std::string& remote, bool ascii, size_t blockSize,
                               const std::function<bool(const char*, size_t)>& sink,
                               std::string& error) noexcept = 0;
  virtual void Close() noexcept = 0;
};

std::unique_ptr<IFtpSession> NewNativeFtpSession();

}  // namespace nv::updater
