#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "log_io.h"

namespace nv::core::logio {

char PathSeparator() noexcept { return '/'; }

void CreateFolder(const std::string& path) noexcept { ::mkdir(path.c_str(), 0755); }

void DeleteFileQuietly(const std::string& path) noexcept { ::unlink(path.c_str()); }

// Exclusive sharing is an advisory whole-file lock here: writers of this log exclude each other.
bool AppendExclusive(const std::string& path, std::string_view bytes, int retryMs, bool flush) noexcept {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
  for (;;) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      bool ok = true;
      for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
          done += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR) {
          ok = false;
        }
      }
      if (ok && flush && ::fsync(fd) != 0) ok = false;
      ::close(fd);
      return ok;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

namespace {

bool WriteAll(int fd, std::string_view bytes) noexcept {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReplaceFlushed(const std::string& path, std::string_view bytes) noexcept {
  try {
    const std::string temp = path + ".tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool ReadSmallFile(const std::string& path, std::string& out) noexcept {
  try {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out.assign(64 * 1024, '\0');
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size > static_cast<off_t>(out.size()))
      ::lseek(fd, -static_cast<off_t>(out.size()), SEEK_END);
    size_t got = 0;
    while (got < out.size()) {
      const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
      if (n > 0) {
        got += static_cast<size_t>(n);
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
    ::close(fd);
    out.resize(got);
    return true;
  } catch (...) {
    return false;
  }
}

bool FileExists(const std::string& path) noexcept {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace nv::core::logio
