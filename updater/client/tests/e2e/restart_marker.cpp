// Stands in for the tray program that the finisher restarts: notes its start in
// "restarted.txt" beside itself and ends.
#include <string>

#include "platform/windows_api.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t self[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path = path.substr(0, path.find_last_of(L'\\')) + L"\\restarted.txt";
  HANDLE file =
      ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, "started\n", 8, &written, nullptr);
    ::CloseHandle(file);
  }
  return 0;
}
