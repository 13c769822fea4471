#include "platform/tick_count.h"
#include "platform/windows_api.h"

namespace nv {

std::uint32_t TickCountMs() noexcept { return ::GetTickCount(); }

}  // namespace nv
