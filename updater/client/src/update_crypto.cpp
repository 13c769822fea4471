#include "update_crypto.h"

#include "platform/text.h"

namespace nv::updater {

bool DecodeHex(std::string_view text, std::vector<uint8_t>& bytes) {
  // Keys are pasted: blanks and line ends between the digits do not count.
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') digits += c;
  const std::optional<std::string> decoded = nv::text::BytesFromHex(digits);
  bytes.clear();
  if (!decoded) return false;
  bytes.assign(decoded->begin(), decoded->end());
  return true;
}

std::string EncodeHex(const uint8_t* data, size_t size) {
  return nv::text::HexText(std::string_view(reinterpret_cast<const char*>(data), size));
}

bool ParsePublicKey(std::string_view text, std::array<uint8_t, 64>& key) {
  std::vector<uint8_t> bytes;
  if (!DecodeHex(text, bytes)) return false;
  if (bytes.size() == 65 && bytes[0] == 0x04) bytes.erase(bytes.begin());
  if (bytes.size() != 64) return false;
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return true;
}

bool ParseSignature(std::string_view text, std::array<uint8_t, 64>& signature) {
  std::vector<uint8_t> bytes;
  if (!DecodeHex(text, bytes) || bytes.size() != 64) return false;
  std::copy(bytes.begin(), bytes.end(), signature.begin());
  return true;
}

ListCheck CheckVersionList(ICrypto& crypto, std::string_view keyText, std::string_view listBytes,
                           const std::string* signatureText) {
  if (keyText.find_first_not_of(" \t\r\n") == std::string_view::npos) return ListCheck::kNotConfigured;
  std::array<uint8_t, 64> key{};
  if (!ParsePublicKey(keyText, key)) return ListCheck::kBadKey;
  if (!signatureText) return ListCheck::kNoSignature;
  std::array<uint8_t, 64> signature{};
  if (!ParseSignature(*signatureText, signature)) return ListCheck::kBadSignature;
  return crypto.VerifyP256(key, listBytes, signature) ? ListCheck::kVerified : ListCheck::kBadSignature;
}

}  // namespace nv::updater
