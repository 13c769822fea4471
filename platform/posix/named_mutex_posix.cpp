#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/named_mutex.h"
#include "platform/posix_fd.h"

namespace nv {
namespace {

// Lock files live in memory, machine-wide, where named semaphores live too.
constexpr char kLockFolder[] = "/dev/shm/";
constexpr char kLockPrefix[] = "nv-mutex.";

// An flock on a file: the kernel drops it when its holder ends in any way (killed included), so a
// dead holder never blocks the next one.
class FileLockMutex final : public NamedMutex {
 public:
  FileLockMutex(posix::UniqueFd file, std::string unlinkPath)
      : file_(std::move(file)), unlinkPath_(std::move(unlinkPath)) {}
  ~FileLockMutex() override {
    Unlock();
    if (!unlinkPath_.empty()) ::unlink(unlinkPath_.c_str());
  }
  FileLockMutex(const FileLockMutex&) = delete;
  FileLockMutex& operator=(const FileLockMutex&) = delete;

  bool Lock() noexcept override {
    // An flock belongs to an open file, not a thread: every Lock takes it through a file opened for
    // this holding alone, so two threads sharing this object still exclude each other.
    posix::UniqueFd holding(ReopenFile());
    if (!holding) return false;
    while (::flock(holding.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    held_.store(holding.release());
    return true;
  }
  void Unlock() noexcept override {
    const int holding = held_.exchange(-1);
    if (holding >= 0) ::close(holding);  // closing the file drops its lock
  }

 private:
  int ReopenFile() const noexcept {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", file_.get());
    const int fd = ::open(self, O_RDONLY | O_CLOEXEC);
    return fd >= 0 ? fd : ::fcntl(file_.get(), F_DUPFD_CLOEXEC, 0);  // without /proc: shared per object
  }

  posix::UniqueFd file_;
  std::string unlinkPath_;
  std::atomic<int> held_{-1};
};

// The lock file's path; empty for a name that cannot be a file name.
std::string LockPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return {};
  return std::string(kLockFolder) + kLockPrefix + name;
}

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::OpenExisting(const std::string& name) noexcept {
  try {
    const std::string path = LockPath(name);
    if (path.empty()) return nullptr;
    posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file) return nullptr;
    return std::make_unique<FileLockMutex>(std::move(file), std::string());
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) noexcept {
  try {
    const std::string path = LockPath(name);
    if (path.empty()) return nullptr;
    posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file) return nullptr;
    return std::make_unique<FileLockMutex>(std::move(file), path);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace nv
