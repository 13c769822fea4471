// A lock shared by processes under a name: a Win32 named mutex, natively an flock on the file
// "/dev/shm/nv-mutex." + name.  Holders of the lock on one machine exclude each other; the system
// releases the lock of a holder that ends without unlocking (on Windows the mutex is abandoned),
// so the next one gets it.
#pragma once
#include <memory>
#include <string>

namespace nv {

class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // Waits without a time limit.  A mutex left by a holder that ended counts as taken: the caller
  // gets it.
  virtual bool Lock() noexcept = 0;
  virtual void Unlock() noexcept = 0;

  // The existing lock of that name, or null when no process has created it.
  static std::unique_ptr<NamedMutex> OpenExisting(const std::string& name) noexcept;
  // Creates the lock (or opens it when it exists).  Natively the name is removed again when the
  // creating object goes, as a Win32 name goes with its last handle.
  static std::unique_ptr<NamedMutex> Create(const std::string& name) noexcept;
};

}  // namespace nv
