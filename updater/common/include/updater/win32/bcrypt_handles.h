// Windows only: RAII owners for the CNG handles the updater holds, and its status test.
#pragma once
// bcrypt.h needs the types of windows.h first.
#include "platform/windows_api.h"

#include <bcrypt.h>

#include "platform/unique_handle.h"

namespace nv::updater::cng {

struct AlgorithmTraits {
  using pointer = BCRYPT_ALG_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct HashTraits {
  using pointer = BCRYPT_HASH_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::BCryptDestroyHash(h); }
};
struct KeyTraits {
  using pointer = BCRYPT_KEY_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::BCryptDestroyKey(h); }
};
using Algorithm = nv::UniqueHandle<AlgorithmTraits>;
using Hash = nv::UniqueHandle<HashTraits>;
using Key = nv::UniqueHandle<KeyTraits>;

// NTSTATUS success and information codes are not negative.
inline bool Ok(NTSTATUS status) noexcept { return status >= 0; }

}  // namespace nv::updater::cng
