#include "idle_monitor.h"

namespace nv::idle {
namespace {

void ClearHandles(IdleArea& area) noexcept {
  __atomic_store_n(&area.keyboardHook, 0, __ATOMIC_RELEASE);
  __atomic_store_n(&area.mouseHook, 0, __ATOMIC_RELEASE);
  area.ownerPid = 0;
}

}  // namespace

int StartMonitor(IdleArea& area, InputWatch& watch) noexcept {
  if (LoadKeyboardHook(area) != 0) {
    if (watch.ProcessAlive(area.ownerPid)) return 1;
    // The owner ended without stopping the monitor; the platform took its watch with it.
    ClearHandles(area);
  }
  std::uint64_t keyboard = 0;
  std::uint64_t mouse = 0;
  if (!watch.Install(area, keyboard, mouse)) return 0;
  area.ownerPid = watch.CurrentProcessId();
  __atomic_store_n(&area.mouseHook, mouse, __ATOMIC_RELEASE);
  __atomic_store_n(&area.keyboardHook, keyboard, __ATOMIC_RELEASE);
  OnHookEvent(area, 0);
  return 1;
}

void StopMonitor(IdleArea& area, InputWatch& watch) noexcept {
  const std::uint64_t keyboard = LoadKeyboardHook(area);
  if (keyboard == 0) return;
  const std::uint64_t mouse = __atomic_load_n(&area.mouseHook, __ATOMIC_ACQUIRE);
  ClearHandles(area);
  watch.Remove(keyboard, mouse);
  StoreLastInput(area, 0);
}

}  // namespace nv::idle
