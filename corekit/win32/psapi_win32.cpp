#include "corekit/psapi.h"

#include "corekit/debug.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
// tlhelp32.h needs <windows.h> first.
#include <tlhelp32.h>

namespace {

struct WindowQuery {
  DWORD processId;
  const std::wstring* className;  // null: any class
  const std::wstring* title;      // null: any title
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto& query = *reinterpret_cast<WindowQuery*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != query.processId) return TRUE;
  wchar_t text[260];
  if (query.className != nullptr) {
    if (::GetClassNameW(window, text, 260) == 0 || ::lstrcmpiW(text, query.className->c_str()) != 0)
      return TRUE;
  }
  if (query.title != nullptr) {
    text[0] = L'\0';
    ::GetWindowTextW(window, text, 260);
    if (::lstrcmpiW(text, query.title->c_str()) != 0) return TRUE;
  }
  query.found = window;
  return FALSE;
}

HWND FindProcessWindow(DWORD processId, const std::wstring* className, const std::wstring* title) {
  WindowQuery query{processId, className, title, nullptr};
  ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

std::string WindowsFolder() {
  wchar_t folder[MAX_PATH];
  const UINT n = ::GetWindowsDirectoryW(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? nv::text::Narrow(std::wstring_view(folder, n)) : std::string();
}

}  // namespace

int CPSAPI::EnumProcesses() noexcept {
  try {
    nv::win32::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
      if (!OnProcess(nv::text::Narrow(entry.szExeFile), entry.th32ProcessID)) break;
    }
    return 1;
  } catch (...) {
    CDebug::dprintf("EnumProcesses: failed\n");
    return 0;
  }
}

int CPSAPI::EnumProcessModules(unsigned long processId) noexcept {
  try {
    nv::win32::UniqueFile snapshot(
        ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    if (!snapshot) return 0;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more;
         more = ::Module32NextW(snapshot.get(), &entry)) {
      if (!OnModule(entry.hModule, nv::text::Narrow(entry.szExePath), nv::text::Narrow(entry.szModule)))
        break;
    }
    return 1;
  } catch (...) {
    CDebug::dprintf("EnumProcessModules: failed\n");
    return 0;
  }
}

CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string& imageName) noexcept {
  try {
    nv::win32::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return nullptr;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
      if (HWND window = CompProcName(imageName, nv::text::Narrow(entry.szExeFile), entry.th32ProcessID)) {
        return window;
      }
    }
  } catch (...) {
  }
  return nullptr;
}

CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string& className, const std::string& title,
                                         unsigned long processId) noexcept {
  try {
    const std::wstring wideClass = nv::text::Widen(className);
    const std::wstring wideTitle = nv::text::Widen(title);
    return FindProcessWindow(processId, &wideClass, &wideTitle);
  } catch (...) {
    return nullptr;
  }
}

CPSAPI::WindowHandle CPSAPI::FindWindowX(const std::string& className, unsigned long processId) noexcept {
  try {
    const std::wstring wideClass = nv::text::Widen(className);
    return FindProcessWindow(processId, &wideClass, nullptr);
  } catch (...) {
    return nullptr;
  }
}

CPSAPI::WindowHandle CPSAPI::FindWindowX(unsigned long processId) noexcept {
  return FindProcessWindow(processId, nullptr, nullptr);
}

int CPSAPI::WinAppExec(const std::string& program, const std::string& arguments, bool throughShell,
                       unsigned long waitMs) noexcept {
  try {
    // A 64-bit program only ever runs on the NT family.
    const HelperCommand command = BuildHelperCommand(WindowsFolder(), true, throughShell, program, arguments);
    std::wstring commandLine = nv::text::Widen(command.commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nv::text::Widen(command.programFile).c_str(), commandLine.data(), nullptr, nullptr,
                          TRUE, HIGH_PRIORITY_CLASS, nullptr, nullptr, &startup, &info)) {
      CDebug::dprintf("WinAppExec: cannot start %s (%lu)\n", command.programFile.c_str(), ::GetLastError());
      return 0;
    }
    nv::win32::UniqueKernelHandle process(info.hProcess);
    nv::win32::UniqueKernelHandle thread(info.hThread);
    ::WaitForSingleObject(process.get(), waitMs);
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process.get(), &exitCode) && exitCode == STILL_ACTIVE) {
      ::TerminateProcess(process.get(), 0);
      ::WaitForSingleObject(process.get(), 5000);  // termination completes asynchronously
    }
    return 1;
  } catch (...) {
    return 0;
  }
}
