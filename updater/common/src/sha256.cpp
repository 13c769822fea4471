#include "updater/sha256.h"

namespace nv::updater {

std::string Sha256Text(const Sha256Digest& digest) {
  static const char* kDigits = "0123456789abcdef";
  std::string text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace nv::updater
