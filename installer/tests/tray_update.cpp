// What a user does to update: the tray program's Update command, then Start in the update dialog
// with the server it offers first.  Waits for the update client to end and exits with its exit
// code (0: handed over to the finisher); 10 and up when a step could not be taken.
//   tray_update.exe [seconds]   (limit for each wait, default 60)
#include <cstdio>
#include <cwchar>
#include <functional>

#include "nvres/nvres_ids.h"
#include "platform/windows_api.h"

namespace {

constexpr WPARAM kTrayUpdateCommand = 5002;

bool WaitUntil(const std::function<bool()>& done, DWORD limitMs) {
  const ULONGLONG end = ::GetTickCount64() + limitMs;
  while (::GetTickCount64() < end) {
    if (done()) return true;
    ::Sleep(100);
  }
  return done();
}

// The update dialog: a visible top-level window with the dialog's Start button.
HWND FindUpdateDialog() {
  HWND found = nullptr;
  ::EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        if (!::IsWindowVisible(hwnd) || ::GetDlgItem(hwnd, IDC_UPDATE_START) == nullptr) return TRUE;
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void PrintItem(HWND dialog, int id, const char* what) {
  wchar_t text[512] = {};
  ::GetDlgItemTextW(dialog, id, text, 512);
  std::printf("%s: %ls\n", what, text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const DWORD limitMs = (argc > 1 ? static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10)) : 60) * 1000;
  HWND tray = nullptr;
  if (!WaitUntil([&] { return (tray = ::FindWindowW(L"Netvane_CLASS", nullptr)) != nullptr; }, limitMs)) {
    std::printf("no tray program window\n");
    return 10;
  }
  ::PostMessageW(tray, WM_COMMAND, kTrayUpdateCommand, 0);
  HWND dialog = nullptr;
  if (!WaitUntil([&] { return (dialog = FindUpdateDialog()) != nullptr; }, limitMs)) {
    std::printf("the Update command brought no update dialog\n");
    return 11;
  }
  DWORD pid = 0;
  ::GetWindowThreadProcessId(dialog, &pid);
  HANDLE client = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (client == nullptr) {
    std::printf("cannot open the update client's process %lu (%lu)\n", pid, ::GetLastError());
    return 12;
  }
  PrintItem(dialog, IDC_UPDATE_TRUST, "trust line");
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_START, BN_CLICKED), 0);
  DWORD code = STILL_ACTIVE;
  if (::WaitForSingleObject(client, limitMs) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(client, &code);
  } else {
    PrintItem(dialog, IDC_UPDATE_STATUS, "still running, status");
    code = 13;
  }
  ::CloseHandle(client);
  std::printf("update client ended with %lu\n", code);
  return static_cast<int>(code);
}
