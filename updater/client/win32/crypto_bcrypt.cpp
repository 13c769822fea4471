// bcrypt.h needs the types of windows.h first.
#include "platform/windows_api.h"

#include <bcrypt.h>

#include "platform/unique_handle.h"
#include "update_crypto.h"

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
struct KeyTraits {
  using pointer = BCRYPT_KEY_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::BCryptDestroyKey(h); }
};
using Algorithm = nv::UniqueHandle<AlgorithmTraits>;
using Hash = nv::UniqueHandle<HashTraits>;
using Key = nv::UniqueHandle<KeyTraits>;

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
  Algorithm m_algorithm;
  Hash m_hash;
  bool m_ok = false;
};

class CngCrypto final : public ICrypto {
 public:
  std::unique_ptr<ISha256> NewSha256() noexcept override {
    try {
      return std::make_unique<CngSha256>();
    } catch (...) {
      return nullptr;
    }
  }

  bool VerifyP256(const std::array<uint8_t, 64>& publicKey, std::string_view data,
                  const std::array<uint8_t, 64>& signature) noexcept override {
    CngSha256 hash;
    hash.Update(data.data(), data.size());
    Sha256Digest digest{};
    if (!hash.Final(digest)) return false;

    Algorithm ecdsa;
    if (!Ok(::BCryptOpenAlgorithmProvider(ecdsa.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
      return false;
    struct {
      BCRYPT_ECCKEY_BLOB header;
      uint8_t xy[64];
    } blob{};
    blob.header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    blob.header.cbKey = 32;
    std::copy(publicKey.begin(), publicKey.end(), blob.xy);
    Key key;
    if (!Ok(::BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                                  reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0))) {
      return false;
    }
    std::array<uint8_t, 64> rs = signature;
    return Ok(::BCryptVerifySignature(key.get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                      rs.data(), static_cast<ULONG>(rs.size()), 0));
  }
};

}  // namespace

ICrypto& NativeCrypto() noexcept {
  static CngCrypto crypto;
  return crypto;
}

}  // namespace nv::updater
