#include "platform/text.h"
#include "platform/windows_api.h"
#include "probe_window.h"

int ShowProbeWindow(const char* title, int ms) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"NvIdleProbe";
  ::RegisterClassW(&wc);
  HWND window =
      ::CreateWindowW(L"NvIdleProbe", nv::text::Widen(title).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                      320, 240, nullptr, nullptr, wc.hInstance, nullptr);
  if (window == nullptr) return 2;
  // The hooks run inside this process's message retrieval, so keep pumping.
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  while (::GetTickCount() < end) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  ::DestroyWindow(window);
  return 0;
}
