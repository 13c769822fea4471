#include "update_crypto.h"

namespace nv::updater {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool DecodeHex(std::string_view text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    const int v = HexValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return high < 0;
}

std::string EncodeHex(const uint8_t* data, size_t size) {
  static const char* kDigits = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 15];
  }
  return text;
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
