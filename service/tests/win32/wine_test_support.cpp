#include "wine_test_support.h"

#include "platform/text.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"

namespace nv::testing {

ProgramRun RunProgram(const std::wstring& commandLine, unsigned long timeoutMs) {
  ProgramRun run;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  wchar_t outputFile[MAX_PATH] = {};
  ::GetTempFileNameW(temp, L"nvo", 0, outputFile);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  {
    nv::win32::UniqueFile output(::CreateFileW(outputFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    nv::win32::UniqueFile input(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    run.started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                   nullptr, &startup, &info) != FALSE;
    if (run.started) {
      nv::win32::UniqueKernelHandle process(info.hProcess);
      nv::win32::UniqueKernelHandle thread(info.hThread);
      if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0)
        ::TerminateProcess(process.get(), 259);
      ::GetExitCodeProcess(process.get(), &run.exitCode);
    }
  }
  run.output = ReadFileText(outputFile);
  ::DeleteFileW(outputFile);
  return run;
}

std::wstring ProgramFolder() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring MakeScratchFolder(const std::wstring& prefix) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + prefix + L"-" + std::to_wstring(::GetCurrentProcessId()) +
                              L"-" + std::to_wstring(::GetTickCount()) + L"\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string ReadFileText(const std::wstring& path) {
  nv::win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  std::string text;
  if (!file) return text;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  return text;
}

}  // namespace nv::testing
