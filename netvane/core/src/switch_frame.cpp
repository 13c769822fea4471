#include "netvane/switch_frame.h"

#include <algorithm>

namespace nv::core {
namespace {

constexpr std::uint8_t kReverseLead[kRGReverseLeadSize] = {0x55, 0x55, 0x55, 0x55, 0x55, 0xD5};

}  // namespace

RGFrame MakeRGFrame(const MacAddress& mac, bool reverse, std::uint32_t network) noexcept {
  RGFrame frame{};
  std::size_t p = 0;
  if (reverse) {
    std::copy(std::begin(kReverseLead), std::end(kReverseLead), frame.begin());
    p = kRGReverseLeadSize;
  }
  std::fill_n(frame.begin() + p, 6, std::uint8_t{0xFF});
  std::copy(mac.begin(), mac.end(), frame.begin() + p + 6);
  frame[p + 12] = 0x00;
  frame[p + 13] = 0x26;
  std::copy(mac.begin(), mac.end(), frame.begin() + p + 14);
  const std::uint8_t command = network == 0 ? 0xAA : 0x55;
  frame[p + 20] = command;
  frame[p + 21] = command;
  return frame;
}

std::uint32_t SecondsSinceLastSend(std::uint32_t now_ms, std::uint32_t last_ms) noexcept {
  const std::uint32_t elapsed = now_ms - last_ms;  // unsigned: wraps like the tick count
  if (elapsed == 0) return 0;
  return std::max<std::uint32_t>(elapsed / 1000, 1);
}

std::uint32_t IntervalWaitMs(std::uint32_t seconds, std::uint32_t interval_s) noexcept {
  if (seconds == 0 || seconds >= interval_s) return 0;
  const std::uint64_t wait = (std::uint64_t{interval_s} - seconds) * 1000;
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(wait, kMaxIntervalWaitMs));
}

int FrameProgressPos(std::uint32_t index, std::uint32_t count) noexcept {
  const std::uint64_t pos = (1100 + std::uint64_t{100} * index) / (std::uint64_t{count} + 10);
  return static_cast<int>(std::min<std::uint64_t>(pos, 100));
}

}  // namespace nv::core
