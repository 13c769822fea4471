// Buffer rules shared by the registry implementations: how names and data are handed back
// to a caller's buffer, with the Win32 codes for a buffer that is too small.
#pragma once
#include <cstdint>
#include <string_view>

namespace corekit {

// Name buffer: *capacity counts the terminating zero on entry; on success it becomes the
// length without it.  234 when the name does not fit; 87 for a missing buffer.
int32_t CopyNameOut(std::string_view text, char* buffer, uint32_t* capacity) noexcept;

// Data buffer: with data, *size is the capacity; afterwards it is the stored size (also on
// 234, so the caller can retry).  Without data only the size is reported.
int32_t CopyDataOut(const void* bytes, uint32_t count, uint8_t* data, uint32_t* size) noexcept;

}  // namespace corekit
