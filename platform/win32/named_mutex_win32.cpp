#include "platform/named_mutex.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv {
namespace {

class Win32Mutex final : public NamedMutex {
 public:
  explicit Win32Mutex(HANDLE h) : handle_(h) {}

  bool Lock() noexcept override {
    const DWORD r = ::WaitForSingleObject(handle_.get(), INFINITE);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  void Unlock() noexcept override { ::ReleaseMutex(handle_.get()); }

 private:
  win32::UniqueKernelHandle handle_;
};

}  // namespace

std::unique_ptr<NamedMutex> NamedMutex::OpenExisting(const std::string& name) noexcept {
  try {
    HANDLE h = ::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, text::Widen(name).c_str());
    if (h == nullptr) return nullptr;
    return std::make_unique<Win32Mutex>(h);
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) noexcept {
  try {
    HANDLE h = ::CreateMutexW(nullptr, FALSE, text::Widen(name).c_str());
    if (h == nullptr) return nullptr;
    return std::make_unique<Win32Mutex>(h);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace nv
