// Starting programs for the tray program: with its own token, or with the token of the user at
// the console (WTSQueryUserToken, which only a process that may act as part of the system gets).
#include "platform/windows_api.h"
// wtsapi32.h and userenv.h need the types of windows.h first.
#include <userenv.h>
#include <wtsapi32.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32_handles.h"
#include "program_starter_win32.h"

namespace nv::app {
namespace {

class Win32ProgramStarter final : public IProgramStarter {
 public:
  bool ConsoleUserTokenAvailable() override {
    nv::win32::UniqueKernelHandle token;
    return ::WTSQueryUserToken(::WTSGetActiveConsoleSessionId(), token.put()) != FALSE;
  }

  bool Start(StartToken which, const std::string& commandLine, const std::string& directory,
             unsigned& error) override {
    std::wstring command = nv::text::Widen(commandLine);
    const std::wstring folder = nv::text::Widen(directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    BOOL created = FALSE;
    if (which == StartToken::kTrayToken) {
      created = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    } else {
      nv::win32::UniqueKernelHandle user, primary;
      if (!::WTSQueryUserToken(::WTSGetActiveConsoleSessionId(), user.put()) ||
          !::DuplicateTokenEx(user.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                              primary.put())) {
        error = ::GetLastError();
        return false;
      }
      void* environment = nullptr;
      const bool haveEnvironment = ::CreateEnvironmentBlock(&environment, primary.get(), FALSE) != FALSE;
      std::wstring desktop = L"winsta0\\default";
      startup.lpDesktop = desktop.data();
      created = ::CreateProcessAsUserW(primary.get(), nullptr, command.data(), nullptr, nullptr, FALSE,
                                       haveEnvironment ? CREATE_UNICODE_ENVIRONMENT : 0,
                                       haveEnvironment ? environment : nullptr,
                                       folder.empty() ? nullptr : folder.c_str(), &startup, &process);
      if (!created) error = ::GetLastError();
      if (haveEnvironment) ::DestroyEnvironmentBlock(environment);
      if (!created) return false;
    }
    if (!created) {
      error = ::GetLastError();
      return false;
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
  }
};

}  // namespace

IProgramStarter& PlatformProgramStarter() {
  static Win32ProgramStarter starter;
  return starter;
}

}  // namespace nv::app
