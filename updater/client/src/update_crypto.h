// SHA-256 and ECDSA P-256 verification by the platform's cryptography (CNG on Windows, OpenSSL
// natively), for verified updates.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "updater/sha256.h"

namespace nv::updater {

class ICrypto {
 public:
  virtual ~ICrypto() = default;
  // Null when the platform offers no SHA-256.
  virtual std::unique_ptr<ISha256> NewSha256() noexcept = 0;
  // True only when `signature` (r||s, 32 bytes each) is a valid signature of SHA-256(`data`)
  // by the key `publicKey` (X||Y, 32 bytes each).
  virtual bool VerifyP256(const std::array<uint8_t, 64>& publicKey, std::string_view data,
                          const std::array<uint8_t, 64>& signature) noexcept = 0;
};

ICrypto& NativeCrypto() noexcept;

// Hex digits with blanks and line ends between them ignored; false on any other character or an
// odd count.
bool DecodeHex(std::string_view text, std::vector<uint8_t>& bytes);
std::string EncodeHex(const uint8_t* data, size_t size);

// A public key as the registry holds it: 64 bytes X||Y in hex, or 65 with the leading 04 of an
// uncompressed point.
bool ParsePublicKey(std::string_view text, std::array<uint8_t, 64>& key);
// A signature file: r||s in hex (64 bytes).
bool ParseSignature(std::string_view text, std::array<uint8_t, 64>& signature);

enum class ListCheck {
  kNotConfigured,  // no key: the update is not verified
  kVerified,
  kBadKey,        // the configured key cannot be read
  kNoSignature,   // the server has no signature file
  kBadSignature,  // unreadable, or not a signature of this list by this key
};

// Checks the list's bytes against the signature file (null when the server had none).
ListCheck CheckVersionList(ICrypto& crypto, std::string_view keyText, std::string_view listBytes,
                           const std::string* signatureText);

}  // namespace nv::updater
