// The switch box's Ethernet control frame and the timing rules around a frame burst.
// Pure functions: the switch control keeps the I/O, these keep the arithmetic testable.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace nv::core {

inline constexpr std::size_t kRGFrameSize = 60;
inline constexpr std::size_t kRGReverseLeadSize = 6;
using RGFrame = std::array<std::uint8_t, kRGFrameSize>;
using MacAddress = std::array<std::uint8_t, 6>;

// The 60-byte control frame (no frame check sequence): broadcast destination, the adapter's
// MAC, type 00 26, the MAC again, then AA AA for network A (index 0) or 55 55 for any other
// index, zero-filled.  With `reverse` the same frame follows a 55 55 55 55 55 D5 lead and is
// cut at 60 bytes.
RGFrame MakeRGFrame(const MacAddress& mac, bool reverse, std::uint32_t network) noexcept;

// Whole seconds since the last successful burst.  The tick count wraps after 49.7 days, so the
// difference is taken modulo 2^32.  0 only when both ticks are equal; any other difference
// below a second counts as 1.
std::uint32_t SecondsSinceLastSend(std::uint32_t now_ms, std::uint32_t last_ms) noexcept;

// Longest wait before a burst.  The wait blocks the program's main thread, so a resend
// interval beyond this is treated as this long instead of stalling the change for hours.
inline constexpr std::uint32_t kMaxIntervalWaitMs = 10 * 60 * 1000;

// Milliseconds to wait before the next burst so that at least `interval_s` seconds separate
// two bursts: (interval - seconds) * 1000 when 0 < seconds < interval, otherwise 0; never more
// than kMaxIntervalWaitMs.
std::uint32_t IntervalWaitMs(std::uint32_t seconds, std::uint32_t interval_s) noexcept;

// Progress position while frame `index` (0-based) of `count` goes out: (1100 + 100 * index) /
// (count + 10), which continues the change's scale from 10 and ends at exactly 100.
int FrameProgressPos(std::uint32_t index, std::uint32_t count) noexcept;

}  // namespace nv::core
