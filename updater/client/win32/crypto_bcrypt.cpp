#include "update_crypto.h"
#include "updater/win32/bcrypt_handles.h"

namespace nv::updater {
namespace {

using cng::Algorithm;
using cng::Key;
using cng::Ok;

class CngCrypto final : public ICrypto {
 public:
  std::unique_ptr<ISha256> NewSha256() noexcept override { return NewPlatformSha256(); }

  bool VerifyP256(const std::array<uint8_t, 64>& publicKey, std::string_view data,
                  const std::array<uint8_t, 64>& signature) noexcept override {
    const std::unique_ptr<ISha256> hash = NewPlatformSha256();
    Sha256Digest digest{};
    if (!hash) return false;
    hash->Update(data.data(), data.size());
    if (!hash->Final(digest)) return false;

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
