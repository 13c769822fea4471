// NvIdle.dll: system-wide keyboard and mouse hooks stamping one time shared by all processes.
#include "idle_monitor.h"
#include "nvidle/NvIdle.h"
#include "platform/windows_api.h"

namespace {

// The shared section: the platform maps one copy of it into every process that loads the DLL,
// including the processes the hooks are injected into.
__attribute__((section(".shared"), shared)) nv::idle::IdleArea g_area = {0, 0, 0, 0};

HINSTANCE g_module = nullptr;

HHOOK AsHook(std::uint64_t h) noexcept { return reinterpret_cast<HHOOK>(static_cast<std::uintptr_t>(h)); }

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
  nv::idle::OnHookEvent(g_area, code);
  return ::CallNextHookEx(AsHook(g_area.keyboardHook), code, wParam, lParam);
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) {
  nv::idle::OnHookEvent(g_area, code);
  return ::CallNextHookEx(AsHook(g_area.mouseHook), code, wParam, lParam);
}

class HookWatch final : public nv::idle::InputWatch {
 public:
  bool Install(nv::idle::IdleArea&, std::uint64_t& keyboard, std::uint64_t& mouse) noexcept override {
    HHOOK kb = ::SetWindowsHookExW(WH_KEYBOARD, KeyboardProc, g_module, 0);
    HHOOK ms = ::SetWindowsHookExW(WH_MOUSE, MouseProc, g_module, 0);
    if (kb == nullptr || ms == nullptr) {
      if (kb != nullptr) ::UnhookWindowsHookEx(kb);
      if (ms != nullptr) ::UnhookWindowsHookEx(ms);
      return false;
    }
    keyboard = reinterpret_cast<std::uintptr_t>(kb);
    mouse = reinterpret_cast<std::uintptr_t>(ms);
    return true;
  }
  void Remove(std::uint64_t keyboard, std::uint64_t mouse) noexcept override {
    ::UnhookWindowsHookEx(AsHook(keyboard));
    ::UnhookWindowsHookEx(AsHook(mouse));
  }
  std::uint32_t CurrentProcessId() noexcept override { return ::GetCurrentProcessId(); }
  bool ProcessAlive(std::uint32_t pid) noexcept override {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return false;
    const bool alive = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return alive;
  }
};

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    ::DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

extern "C" {

int NvIdleInit(void) {
  HookWatch watch;
  return nv::idle::StartMonitor(g_area, watch);
}

void NvIdleTerm(void) {
  HookWatch watch;
  nv::idle::StopMonitor(g_area, watch);
}

void NvIdleReset(void) { nv::idle::StoreLastInput(g_area, 0); }

std::uint32_t NvIdleGetLastInputTime(void) { return nv::idle::LoadLastInput(g_area); }
}
