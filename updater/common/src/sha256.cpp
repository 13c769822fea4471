#include "updater/sha256.h"

#include "platform/text.h"

namespace nv::updater {

std::string Sha256Text(const Sha256Digest& digest) {
  return nv::text::HexText(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

}  // namespace nv::updater
