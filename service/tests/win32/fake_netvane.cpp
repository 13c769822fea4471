// A stand-in tray program: writes "started.txt" beside itself with its current directory and
// session, so a test sees that, where and as whom the launcher started it.
#include <cstdio>
#include <string>

#include "platform/windows_api.h"

int wmain() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring marker(module);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"started.txt";
  wchar_t directory[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, directory);
  DWORD session = 0;
  ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  FILE* file = _wfopen(marker.c_str(), L"w");
  if (file == nullptr) return 1;
  std::fwprintf(file, L"%ls\n%lu\n", directory, session);
  std::fclose(file);
  return 0;
}
