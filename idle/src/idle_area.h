// The data every process that loads NvIdle shares.
#pragma once
#include <cstdint>

#include "platform/tick_count.h"

namespace nv::idle {

// Layout: the two watch handles (non-zero while running) and the last input time, then the
// process id of the process that installed the watch.  The owner is kept because the platform
// removes an ended process's watch without clearing the handles here; a later start must be able
// to tell such leftovers from a live watch.
struct IdleArea {
  std::uint64_t keyboardHook;
  std::uint64_t mouseHook;
  std::uint32_t lastInput;
  std::uint32_t ownerPid;
};

// Hook procedures on many threads write the time without a lock; aligned 32-bit loads and
// stores are atomic, and the last writer wins.
inline std::uint32_t LoadLastInput(const IdleArea& area) noexcept {
  return __atomic_load_n(&area.lastInput, __ATOMIC_RELAXED);
}
inline void StoreLastInput(IdleArea& area, std::uint32_t tick) noexcept {
  __atomic_store_n(&area.lastInput, tick, __ATOMIC_RELAXED);
}
inline std::uint64_t LoadKeyboardHook(const IdleArea& area) noexcept {
  return __atomic_load_n(&area.keyboardHook, __ATOMIC_ACQUIRE);
}

// What each hook procedure does with an event before passing it on: stamp the tick for an
// action code (0), ignore the rest.  A zero tick (the first millisecond after a wrap) is moved
// to 1 so that it is not read as "no time".
inline void OnHookEvent(IdleArea& area, int code) noexcept {
  if (code != 0) return;
  const std::uint32_t now = TickCountMs();
  StoreLastInput(area, now != 0 ? now : 1);
}

}  // namespace nv::idle
