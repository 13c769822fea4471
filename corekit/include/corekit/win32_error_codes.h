// Win32 error codes as the registry layer reports them on every platform, so
// callers compare against the same numbers natively and on Windows.
#pragma once
#include <cstdint>

namespace corekit::win32_error {

inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kFileNotFound = 2;
inline constexpr int32_t kAccessDenied = 5;
inline constexpr int32_t kInvalidHandle = 6;
inline constexpr int32_t kNotEnoughMemory = 8;
inline constexpr int32_t kNotSupported = 50;
inline constexpr int32_t kBadNetPath = 53;
inline constexpr int32_t kInvalidParameter = 87;
inline constexpr int32_t kDiskFull = 112;
// ERROR_BUSY: the native store's write lock stayed with another process; try again later.
inline constexpr int32_t kBusy = 170;
inline constexpr int32_t kBadPathName = 161;
inline constexpr int32_t kMoreData = 234;
inline constexpr int32_t kNoMoreItems = 259;
inline constexpr int32_t kRegistryCorrupt = 1015;
inline constexpr int32_t kRegistryIoFailed = 1016;
inline constexpr int32_t kKeyDeleted = 1018;
inline constexpr int32_t kInternalError = 1064;  // ERROR_EXCEPTION_IN_SERVICE: an exception was caught
inline constexpr int32_t kUnsupportedType = 1630;

}  // namespace corekit::win32_error
