// Stands in for the tray program that Updagent closes before continue installs:
//   tray_standin.exe <folder> <exit command> [<file to hold> <milliseconds>]
// Writes its window handle to "<folder>\tray-window.txt". On the exit command it writes
// "<folder>\tray-command.txt", keeps the file to hold open without sharing for the given time (as
// the real one keeps its files while it changes back to network A), and ends.
#include <string>

#include "platform/windows_api.h"
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

namespace {

int g_command = 0;
std::wstring g_folder, g_hold;
DWORD g_holdMs = 0;

void WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && LOWORD(wParam) == g_command) {
    HANDLE held = g_hold.empty()
                      ? INVALID_HANDLE_VALUE
                      : ::CreateFileW(g_hold.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    WriteText(g_folder + L"\\tray-command.txt",
              held == INVALID_HANDLE_VALUE ? "command\n" : "command, holding\n");
    ::Sleep(g_holdMs);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ::DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr || count < 3) return 2;
  g_folder = argv[1];
  g_command = _wtoi(argv[2]);
  if (count >= 5) {
    g_hold = argv[3];
    g_holdMs = static_cast<DWORD>(_wtoi(argv[4]));
  }
  ::LocalFree(argv);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.lpszClassName = L"NvE2ETray";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowW(wc.lpszClassName, L"tray", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return 3;
  WriteText(g_folder + L"\\tray-window.txt", std::to_string(reinterpret_cast<uintptr_t>(window)));
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
