#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include "update_crypto.h"

namespace nv::updater {
namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const noexcept { Free(p); }
};
using MdContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using PKeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using ParamBuild = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM, OSSL_PARAM_free>>;
using Signature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;

class OpenSslCrypto final : public ICrypto {
 public:
  std::unique_ptr<ISha256> NewSha256() noexcept override { return NewPlatformSha256(); }

  bool VerifyP256(const std::array<uint8_t, 64>& publicKey, std::string_view data,
                  const std::array<uint8_t, 64>& signature) noexcept override {
    uint8_t point[65];
    point[0] = 0x04;  // uncompressed
    std::copy(publicKey.begin(), publicKey.end(), point + 1);
    ParamBuild build(OSSL_PARAM_BLD_new());
    if (!build ||
        !OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) ||
        !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point)) {
      return false;
    }
    Params params(OSSL_PARAM_BLD_to_param(build.get()));
    PKeyContext fromData(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* raw = nullptr;
    if (!params || !fromData || EVP_PKEY_fromdata_init(fromData.get()) != 1 ||
        EVP_PKEY_fromdata(fromData.get(), &raw, EVP_PKEY_PUBLIC_KEY, params.get()) != 1) {
      return false;
    }
    PKey key(raw);

    // The wire form is r||s; OpenSSL verifies DER.
    Signature sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
      BN_free(r);
      BN_free(s);
      return false;
    }
    unsigned char* der = nullptr;
    const int derSize = i2d_ECDSA_SIG(sig.get(), &der);
    if (derSize <= 0) return false;
    MdContext ctx(EVP_MD_CTX_new());
    const bool ok = ctx && EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
                    EVP_DigestVerify(ctx.get(), der, static_cast<size_t>(derSize),
                                     reinterpret_cast<const unsigned char*>(data.data()), data.size()) == 1;
    OPENSSL_free(der);
    return ok;
  }
};

}  // namespace

ICrypto& NativeCrypto() noexcept {
  static OpenSslCrypto crypto;
  return crypto;
}

}  // namespace nv::updater
