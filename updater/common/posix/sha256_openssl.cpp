#include <openssl/evp.h>

#include "updater/sha256.h"

namespace nv::updater {
namespace {

struct ContextFree {
  void operator()(EVP_MD_CTX* p) const noexcept { EVP_MD_CTX_free(p); }
};

class OpenSslSha256 final : public ISha256 {
 public:
  OpenSslSha256() : m_ctx(EVP_MD_CTX_new()) {
    m_ok = m_ctx && EVP_DigestInit_ex(m_ctx.get(), EVP_sha256(), nullptr) == 1;
  }
  void Update(const void* data, size_t size) noexcept override {
    m_ok = m_ok && EVP_DigestUpdate(m_ctx.get(), data, size) == 1;
  }
  bool Final(Sha256Digest& digest) noexcept override {
    unsigned size = 0;
    return m_ok && EVP_DigestFinal_ex(m_ctx.get(), digest.data(), &size) == 1 && size == digest.size();
  }

 private:
  std::unique_ptr<EVP_MD_CTX, ContextFree> m_ctx;
  bool m_ok = false;
};

}  // namespace

std::unique_ptr<ISha256> NewPlatformSha256() noexcept {
  try {
    return std::make_unique<OpenSslSha256>();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace nv::updater
