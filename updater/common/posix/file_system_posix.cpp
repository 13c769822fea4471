#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "updater/file_system.h"

namespace nv::updater {
namespace {

thread_local int t_lastError = 0;

bool Fail() noexcept {
  t_lastError = errno;
  return false;
}

class PosixReadFile final : public IReadFile {
 public:
  explicit PosixReadFile(int fd) : m_fd(fd) {}
  ~PosixReadFile() override { ::close(m_fd); }
  bool Read(char* buffer, size_t capacity, size_t& got) noexcept override {
    for (;;) {
      const ssize_t n = ::read(m_fd, buffer, capacity);
      if (n >= 0) {
        got = static_cast<size_t>(n);
        return true;
      }
      if (errno != EINTR) return Fail();
    }
  }
  uint64_t Size() const noexcept override {
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }

 private:
  int m_fd;
};

class PosixWriteFile final : public IWriteFile {
 public:
  explicit PosixWriteFile(int fd) : m_fd(fd) {}
  ~PosixWriteFile() override { Close(); }
  bool Write(const char* data, size_t size) noexcept override {
    while (size > 0) {
      const ssize_t n = ::write(m_fd, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Fail();
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  bool Flush() noexcept override { return ::fsync(m_fd) == 0 || Fail(); }
  bool Close() noexcept override {
    if (m_fd < 0) return true;
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 || Fail();
  }

 private:
  int m_fd;
};

class PosixFileSystem final : public IFileSystem {
 public:
  std::unique_ptr<IReadFile> OpenRead(const std::string& path) noexcept override {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(), nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      t_lastError = EISDIR;
      ::close(fd);
      return nullptr;
    }
    return Make<PosixReadFile>(fd);
  }
  std::unique_ptr<IWriteFile> Create(const std::string& path) noexcept override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(), nullptr;
    return Make<PosixWriteFile>(fd);
  }
  std::unique_ptr<IWriteFile> CreateTemporary(const std::string& dir, std::string& path) noexcept override {
    std::string pattern = dir + "/.nvcopy-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return Fail(), nullptr;
    ::fchmod(fd, 0644);
    path = pattern;
    return Make<PosixWriteFile>(fd);
  }
  bool Replace(const std::string& from, const std::string& to) noexcept override {
    return ::rename(from.c_str(), to.c_str()) == 0 || Fail();
  }
  bool Remove(const std::string& path) noexcept override { return ::unlink(path.c_str()) == 0 || Fail(); }
  bool CreateDirectory(const std::string& path) noexcept override {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    struct stat st {};
    if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    return Fail();
  }
  bool Exists(const std::string& path) noexcept override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }
  bool IsReplaceableTarget(const std::string& path) noexcept override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || Fail();
    if (S_ISREG(st.st_mode)) return true;
    t_lastError = EPERM;
    return false;
  }
  // No mandatory locks here: a file in use can always be replaced.
  bool InUse(const std::string&) noexcept override { return false; }
  bool ReplaceAtRestart(const std::string&, const std::string&) noexcept override {
    t_lastError = ENOTSUP;
    return false;
  }
  bool CreatePrivateDirectory(const std::string& path) noexcept override {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {  // a link, or a file where the folder belongs
        t_lastError = ENOTDIR;
        return false;
      }
      DIR* dir = ::opendir(path.c_str());
      if (dir == nullptr) return Fail();
      bool ok = true;
      while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string child = path + "/" + name;
        struct stat cs {};
        if (::lstat(child.c_str(), &cs) != 0 || S_ISDIR(cs.st_mode) || ::unlink(child.c_str()) != 0) {
          ok = Fail();
          break;
        }
      }
      ::closedir(dir);
      if (!ok || ::rmdir(path.c_str()) != 0) return ok && Fail();
    }
    return ::mkdir(path.c_str(), 0700) == 0 || Fail();
  }
  std::string LastError() const override { return std::strerror(t_lastError); }

 private:
  template <typename T>
  static std::unique_ptr<T> Make(int fd) noexcept {
    try {
      return std::make_unique<T>(fd);
    } catch (...) {
      ::close(fd);
      t_lastError = ENOMEM;
      return nullptr;
    }
  }
};

}  // namespace

IFileSystem& NativeFileSystem() noexcept {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace nv::updater
