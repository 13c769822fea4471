// The millisecond tick count: time since system start, wrapping at 2^32 like
// the Windows tick.  Idle times are differences of two ticks, so the wrap is harmless.
#pragma once
#include <cstdint>

namespace nv {

std::uint32_t TickCountMs() noexcept;

}  // namespace nv
