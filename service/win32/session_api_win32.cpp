#include "session_api_win32.h"

// clang-format off
#include "platform/windows_api.h"
#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>
// clang-format on

#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::service {
namespace {

class Win32Token : public LaunchToken {
 public:
  nv::win32::UniqueKernelHandle handle;
};

const Win32Token& Of(const LaunchToken& token) { return static_cast<const Win32Token&>(token); }

struct EnvironmentBlock {
  void* block = nullptr;
  ~EnvironmentBlock() {
    if (block != nullptr) ::DestroyEnvironmentBlock(block);
  }
};

class Win32SessionApi : public SessionApi {
 public:
  uint32_t ActiveConsoleSession() override { return ::WTSGetActiveConsoleSessionId(); }

  std::vector<SessionProcess> Processes() override {
    std::vector<SessionProcess> processes;
    nv::win32::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
      DWORD session = kNoSession;
      if (!::ProcessIdToSessionId(entry.th32ProcessID, &session)) continue;
      processes.push_back({entry.th32ProcessID, session, nv::text::Narrow(entry.szExeFile)});
    }
    return processes;
  }

  std::unique_ptr<LaunchToken> UserToken(uint32_t session, uint32_t& error) override {
    auto token = std::make_unique<Win32Token>();
    if (!::WTSQueryUserToken(session, token->handle.put())) {
      error = ::GetLastError();
      return nullptr;
    }
    return token;
  }

  std::unique_ptr<LaunchToken> ProcessToken(uint32_t processId, uint32_t& error) override {
    nv::win32::UniqueKernelHandle process(::OpenProcess(MAXIMUM_ALLOWED, FALSE, processId));
    if (!process) {
      error = ::GetLastError();
      return nullptr;
    }
    auto token = std::make_unique<Win32Token>();
    constexpr DWORD kAccess = TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES | TOKEN_ASSIGN_PRIMARY;
    if (!::OpenProcessToken(process.get(), kAccess, token->handle.put())) {
      error = ::GetLastError();
      return nullptr;
    }
    return token;
  }

  bool LookupDebugPrivilege(uint32_t& error) override {
    if (::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &m_debugPrivilege)) return true;
    error = ::GetLastError();
    return false;
  }

  std::unique_ptr<LaunchToken> PrimaryCopy(const LaunchToken& token, uint32_t session,
                                           uint32_t& error) override {
    auto copy = std::make_unique<Win32Token>();
    if (!::DuplicateTokenEx(Of(token).handle.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification,
                            TokenPrimary, copy->handle.put())) {
      error = ::GetLastError();
      return nullptr;
    }
    DWORD sessionId = session;
    // Without this the program would start in the service's own session, on no one's desktop.
    ::SetTokenInformation(copy->handle.get(), TokenSessionId, &sessionId, sizeof sessionId);
    return copy;
  }

  PrivilegeResult EnableDebugPrivilege(LaunchToken& token, uint32_t& error) override {
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = m_debugPrivilege;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::AdjustTokenPrivileges(Of(token).handle.get(), FALSE, &privileges, sizeof privileges, nullptr,
                                 nullptr)) {
      error = ::GetLastError();
      return PrivilegeResult::kFailed;
    }
    return ::GetLastError() == ERROR_NOT_ALL_ASSIGNED ? PrivilegeResult::kNotAssigned
                                                      : PrivilegeResult::kEnabled;
  }

  bool CreateProgram(const LaunchToken& token, const std::string& program, const std::string& directory,
                     StartedProgram& started, uint32_t& error) override {
    EnvironmentBlock environment;
    DWORD flags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;
    if (::CreateEnvironmentBlock(&environment.block, Of(token).handle.get(), FALSE))
      flags |= CREATE_UNICODE_ENVIRONMENT;
    else
      environment.block = nullptr;

    std::wstring desktop = L"winsta0\\default";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.data();
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    const std::wstring programW = nv::text::Widen(program);
    const std::wstring directoryW = nv::text::Widen(directory);
    if (!::CreateProcessAsUserW(Of(token).handle.get(), programW.c_str(), nullptr, nullptr, nullptr, FALSE,
                                flags, environment.block, directoryW.c_str(), &startup, &info)) {
      error = ::GetLastError();
      return false;
    }
    // Nothing waits on the program: keep its ids, not its handles.
    nv::win32::UniqueKernelHandle process(info.hProcess);
    nv::win32::UniqueKernelHandle thread(info.hThread);
    started = {info.dwProcessId, info.dwThreadId};
    return true;
  }

 private:
  LUID m_debugPrivilege{};
};

}  // namespace

SessionApi& PlatformSessionApi() {
  static Win32SessionApi api;
  return api;
}

}  // namespace nv::service
