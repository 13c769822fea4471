// Tests that write a value of the real registry (Windows) put it back as they found it.
#pragma once
#include <string>

namespace nv::core::testing {

// Remembers a string value below HKEY_LOCAL_MACHINE and restores it (or deletes the value when
// it did not exist) at destruction.
class ScratchValueGuard {
 public:
  ScratchValueGuard(std::string keyPath, std::string valueName);
  ~ScratchValueGuard();
  ScratchValueGuard(const ScratchValueGuard&) = delete;
  ScratchValueGuard& operator=(const ScratchValueGuard&) = delete;

 private:
  std::string m_key;
  std::string m_name;
  bool m_existed = false;
  std::string m_old;
};

}  // namespace nv::core::testing
