// The platform half of CNTService::IsAdmin.
#pragma once
#include <cstdint>

namespace corekit::detail {

// True when the caller is an administrator; `checkError` is set (non-zero) when the access check
// itself could not be made.
bool CallerIsAdministrator(uint32_t& checkError) noexcept;

}  // namespace corekit::detail
