#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "file_access.h"
#include "platform/posix_fd.h"
#include "write_all.h"

namespace nv::corekit {

ReadStatus ReadWholeFile(const std::string& path, std::string& bytes) noexcept {
  if (path.empty() || path.find('\0') != std::string::npos) return ReadStatus::kMissing;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return ReadStatus::kMissing;
  // Directories, devices and pipes are no INI files (and /dev/zero would never end).
  if (!S_ISREG(st.st_mode)) return ReadStatus::kUnreadable;
  posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return ReadStatus::kUnreadable;
  try {
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
      const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return ReadStatus::kUnreadable;
      if (n == 0) break;
      data.append(chunk, static_cast<size_t>(n));
    }
    bytes = std::move(data);
    return ReadStatus::kOk;
  } catch (...) {
    return ReadStatus::kUnreadable;
  }
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) noexcept {
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  try {
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    // 0666 under the umask, as a plain new file would get; an existing file keeps its mode.
    posix::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) return false;
    struct stat st {};
    bool ok = true;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0;
    ok = ok && WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = ::close(fd.release()) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

std::string LegacyTextToUtf8(std::string_view bytes) { return std::string(bytes); }

}  // namespace nv::corekit
