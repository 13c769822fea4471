// bcrypt.h needs the types of windows.h first.
#include "platform/windows_api.h"

#include <bcrypt.h>

#include "platform/unique_handle.h"
#include "updater/sha256.h"

namespace nv::updater {
namespace {

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

bool Ok(NTSTATUS status) { return status >= 0; }

class CngSha256 final : public ISha256 {
 public:
  CngSha256() {
    m_ok = Ok(::BCryptOpenAlgorithmProvider(m_algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
           Ok(::BCryptCreateHash(m_algorithm.get(), m_hash.put(), nullptr, 0, nullptr, 0, 0));
  }
  void Update(const void* data, size_t size) noexcept override {
    // CNG takes 32-bit lengths.
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (m_ok && size > 0) {
      const ULONG chunk = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
      m_ok = Ok(::BCryptHashData(m_hash.get(), const_cast<PUCHAR>(bytes), chunk, 0));
      bytes += chunk;
      size -= chunk;
    }
  }
  bool Final(Sha256Digest& digest) noexcept override {
    return m_ok && Ok(::BCryptFinishHash(m_hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
  }

 private:
  nv::UniqueHandle<AlgorithmTraits> m_algorithm;
  nv::UniqueHandle<HashTraits> m_hash;
  bool m_ok = false;
};

}  // namespace

std::unique_ptr<ISha256> NewPlatformSha256() noexcept {
  try {
    return std::make_unique<CngSha256>();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace nv::updater
