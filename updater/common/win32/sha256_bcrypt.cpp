#include "updater/sha256.h"
#include "updater/win32/bcrypt_handles.h"

namespace nv::updater {
namespace {

using cng::Algorithm;
using cng::Hash;
using cng::Ok;

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
  Algorithm m_algorithm;
  Hash m_hash;
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
