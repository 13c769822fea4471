// Where the Linux build learns how long the user has been idle.
#pragma once
#include <cstdint>
#include <memory>

namespace nv::idle {

class ActivitySource {
 public:
  virtual ~ActivitySource() = default;
  // Milliseconds since the last keyboard or mouse event; false when the source cannot answer.
  virtual bool IdleMilliseconds(std::uint32_t& ms) noexcept = 0;
};

// The X server on DISPLAY with the screen-saver extension; null when there is none.
std::unique_ptr<ActivitySource> OpenActivitySource() noexcept;

}  // namespace nv::idle
