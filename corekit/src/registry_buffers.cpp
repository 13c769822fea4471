#include "registry_buffers.h"

#include <cstring>

#include "corekit/win32_error_codes.h"

namespace corekit {

int32_t CopyNameOut(std::string_view text, char* buffer, uint32_t* capacity) noexcept {
  if (!buffer || !capacity) return win32_error::kInvalidParameter;
  if (text.size() + 1 > *capacity) return win32_error::kMoreData;
  if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  *capacity = static_cast<uint32_t>(text.size());
  return 0;
}

int32_t CopyDataOut(const void* bytes, uint32_t count, uint8_t* data, uint32_t* size) noexcept {
  if (data) {
    if (!size) return win32_error::kInvalidParameter;
    if (*size < count) {
      *size = count;
      return win32_error::kMoreData;
    }
    if (count) std::memcpy(data, bytes, count);
  }
  if (size) *size = count;
  return 0;
}

}  // namespace corekit
