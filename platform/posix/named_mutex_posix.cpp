#include <fcntl.h>
#include <semaphore.h>

#include <cerrno>

#include "platform/named_mutex.h"

namespace nv {
namespace {

class SemaphoreMutex final : public NamedMutex {
 public:
  SemaphoreMutex(sem_t* sem, std::string unlinkName) : sem_(sem), unlinkName_(std::move(unlinkName)) {}
  ~SemaphoreMutex() override {
    ::sem_close(sem_);
    if (!unlinkName_.empty()) ::sem_unlink(unlinkName_.c_str());
  }
  SemaphoreMutex(const SemaphoreMutex&) = delete;
  SemaphoreMutex& operator=(const SemaphoreMutex&) = delete;

  bool Lock() noexcept override {
    while (::sem_wait(sem_) != 0) {
      if (errno != EINTR) return false;
    }
    return true;
  }
  void Unlock() noexcept override { ::sem_post(sem_); }

 private:
  sem_t* sem_;
  std::string unlinkName_;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::OpenExisting(const std::string& name) noexcept {
  try {
    const std::string path = "/" + name;
    sem_t* sem = ::sem_open(path.c_str(), 0);
    if (sem == SEM_FAILED) return nullptr;
    return std::make_unique<SemaphoreMutex>(sem, std::string());
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) noexcept {
  try {
    const std::string path = "/" + name;
    sem_t* sem = ::sem_open(path.c_str(), O_CREAT, 0600, 1);
    if (sem == SEM_FAILED) return nullptr;
    return std::make_unique<SemaphoreMutex>(sem, path);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace nv
