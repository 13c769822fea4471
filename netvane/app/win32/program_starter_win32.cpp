// Starting programs for the tray program: with its own token, or with the token of the user at
// the console (WTSQueryUserToken, which only a process that may act as part of the system gets).
#include "platform/windows_api.h"
// wtsapi32.h and userenv.h need the types of windows.h first.
#include <userenv.h>
#include <wtsapi32.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32_handles.h"
#include "program_starter_win32.h"

namespace nv::app {
namespace {

bool ConsoleUserToken(nv::win32::UniqueKernelHandle& primary) {
  nv::win32::UniqueKernelHandle user;
  return ::WTSQueryUserToken(::WTSGetActiveConsoleSessionId(), user.put()) &&
         ::DuplicateTokenEx(user.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                            primary.put());
}

// The user's environment block, destroyed with it.
class UserEnvironment {
 public:
  explicit UserEnvironment(HANDLE token) {
    if (!::CreateEnvironmentBlock(&m_block, token, FALSE)) m_block = nullptr;
  }
  ~UserEnvironment() {
    if (m_block != nullptr) ::DestroyEnvironmentBlock(m_block);
  }
  UserEnvironment(const UserEnvironment&) = delete;
  UserEnvironment& operator=(const UserEnvironment&) = delete;
  void* block() const { return m_block; }

 private:
  void* m_block = nullptr;
};

// Only the handles named here reach the new process, not every inheritable one of the tray.
class InheritedHandles {
 public:
  explicit InheritedHandles(std::vector<HANDLE> handles) : m_handles(std::move(handles)) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    m_buffer.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(m_buffer.data());
    if (::InitializeProcThreadAttributeList(list, 1, 0, &size) &&
        ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, m_handles.data(),
                                    m_handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      m_list = list;
    }
  }
  ~InheritedHandles() {
    if (m_list != nullptr) ::DeleteProcThreadAttributeList(m_list);
  }
  InheritedHandles(const InheritedHandles&) = delete;
  InheritedHandles& operator=(const InheritedHandles&) = delete;
  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return m_list; }

 private:
  std::vector<HANDLE> m_handles;
  std::vector<char> m_buffer;
  LPPROC_THREAD_ATTRIBUTE_LIST m_list = nullptr;
};

// Creates the process as `which`; `output`, when given, becomes its standard output.
bool CreateAs(StartToken which, std::wstring command, const std::wstring& folder, bool hidden, HANDLE output,
              PROCESS_INFORMATION& process, unsigned& error) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  if (hidden) {
    startup.StartupInfo.dwFlags |= STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
  }
  DWORD flags = 0;
  std::unique_ptr<InheritedHandles> inherited;
  if (output != nullptr) {
    startup.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = output;
    inherited = std::make_unique<InheritedHandles>(std::vector<HANDLE>{output});
    if (inherited->list() == nullptr) {
      error = ::GetLastError();
      return false;
    }
    startup.lpAttributeList = inherited->list();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  const BOOL inherit = output != nullptr ? TRUE : FALSE;
  const wchar_t* directory = folder.empty() ? nullptr : folder.c_str();
  BOOL created = FALSE;
  if (which == StartToken::kTrayToken) {
    created = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, inherit, flags, nullptr, directory,
                               &startup.StartupInfo, &process);
  } else {
    nv::win32::UniqueKernelHandle primary;
    if (!ConsoleUserToken(primary)) {
      error = ::GetLastError();
      return false;
    }
    const UserEnvironment environment(primary.get());
    std::wstring desktop = L"winsta0\\default";
    startup.StartupInfo.lpDesktop = desktop.data();
    if (environment.block() != nullptr) flags |= CREATE_UNICODE_ENVIRONMENT;
    created = ::CreateProcessAsUserW(primary.get(), nullptr, command.data(), nullptr, nullptr, inherit, flags,
                                     environment.block(), directory, &startup.StartupInfo, &process);
  }
  if (!created) error = ::GetLastError();
  return created != FALSE;
}

// Reads what the pipe holds now, never waiting for more: once the program has ended all it wrote
// is in the pipe, and a process it started may still hold the write end open.
void Drain(HANDLE pipe, std::string& output) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
    DWORD read = 0;
    if (!::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) return;
    // Beyond the limit one byte more is kept: enough to tell that it was too long.
    const size_t room =
        output.size() <= RunResult::kMaxOutput ? RunResult::kMaxOutput + 1 - output.size() : 0;
    output.append(buffer, std::min<size_t>(read, room));
  }
}

// Waits for `process`, handling this thread's messages when asked; false when the time ran out.
bool WaitFor(HANDLE process, HANDLE pipe, std::string* output, unsigned long waitMs, bool handleMessages) {
  const ULONGLONG until = ::GetTickCount64() + waitMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= until) return false;
    // A short slice while output is read, so that a full pipe never holds the program up.
    const DWORD slice =
        static_cast<DWORD>(std::min<ULONGLONG>(until - now, output != nullptr ? 100 : until - now));
    const DWORD woke = handleMessages ? ::MsgWaitForMultipleObjects(1, &process, FALSE, slice, QS_ALLINPUT)
                                      : ::WaitForSingleObject(process, slice);
    if (output != nullptr) Drain(pipe, *output);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          ::PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
          return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
    } else if (woke == WAIT_FAILED) {
      return false;
    }
  }
}

// The owner and its top-level window disabled while another process stands in for its dialog.
class DisabledOwner {
 public:
  explicit DisabledOwner(void* owner)
      : m_window(owner != nullptr ? ::GetAncestor(static_cast<HWND>(owner), GA_ROOT) : nullptr) {
    if (m_window != nullptr) m_wasEnabled = !::EnableWindow(m_window, FALSE);
  }
  ~DisabledOwner() {
    if (m_window != nullptr && m_wasEnabled) {
      ::EnableWindow(m_window, TRUE);
      ::SetForegroundWindow(m_window);
    }
  }
  DisabledOwner(const DisabledOwner&) = delete;
  DisabledOwner& operator=(const DisabledOwner&) = delete;

 private:
  HWND m_window;
  bool m_wasEnabled = false;
};

// Undoes an impersonation however the work ends.
class Impersonation {
 public:
  explicit Impersonation(HANDLE token) : m_acting(::ImpersonateLoggedOnUser(token) != FALSE) {}
  ~Impersonation() {
    if (m_acting) ::RevertToSelf();
  }
  Impersonation(const Impersonation&) = delete;
  Impersonation& operator=(const Impersonation&) = delete;
  bool acting() const { return m_acting; }

 private:
  bool m_acting;
};

class Win32ProgramStarter final : public IProgramStarter {
 public:
  bool ConsoleUserTokenAvailable() override {
    nv::win32::UniqueKernelHandle token;
    return ::WTSQueryUserToken(::WTSGetActiveConsoleSessionId(), token.put()) != FALSE;
  }

  bool Start(StartToken which, const std::string& commandLine, const std::string& directory,
             unsigned& error) override {
    PROCESS_INFORMATION info{};
    if (!CreateAs(which, nv::text::Widen(commandLine), nv::text::Widen(directory), false, nullptr, info,
                  error))
      return false;
    const nv::win32::UniqueKernelHandle process(info.hProcess), thread(info.hThread);  // not waited for
    return true;
  }

  bool Run(StartToken which, const std::string& commandLine, const RunOptions& options, RunResult& result,
           unsigned& error) override {
    result = RunResult{};
    nv::win32::UniqueKernelHandle readEnd, writeEnd;
    if (options.captureOutput) {
      SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
      if (!::CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0) ||
          !::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        error = ::GetLastError();
        return false;
      }
    }
    PROCESS_INFORMATION info{};
    if (!CreateAs(which, nv::text::Widen(commandLine), std::wstring(), options.hidden, writeEnd.get(), info,
                  error))
      return false;
    nv::win32::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    writeEnd.reset();  // the pipe ends when the program's copy is closed
    if (options.owner != nullptr) ::AllowSetForegroundWindow(info.dwProcessId);
    {
      const DisabledOwner disabled(options.owner);
      result.ended = WaitFor(process.get(), readEnd.get(), options.captureOutput ? &result.output : nullptr,
                             options.waitMs, options.owner != nullptr);
    }
    if (!result.ended) {
      ::TerminateProcess(process.get(), 1);
      ::WaitForSingleObject(process.get(), 5000);  // termination completes asynchronously
    }
    if (options.captureOutput) Drain(readEnd.get(), result.output);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    result.exitCode = code;
    return true;
  }

  bool ActAs(StartToken which, const std::function<void()>& work, unsigned& error) override {
    if (which == StartToken::kTrayToken) {
      work();
      return true;
    }
    nv::win32::UniqueKernelHandle primary;
    if (!ConsoleUserToken(primary)) {
      error = ::GetLastError();
      return false;
    }
    const Impersonation acting(primary.get());
    if (!acting.acting()) {
      error = ::GetLastError();
      return false;
    }
    work();
    return true;
  }
};

}  // namespace

IProgramStarter& PlatformProgramStarter() {
  static Win32ProgramStarter starter;
  return starter;
}

}  // namespace nv::app
