#include <utility>

#include "platform/testing/child_process.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::testing {
namespace {

std::wstring CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& a : argv) {
    if (!line.empty()) line += ' ';
    if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) {
      line += a;
    } else {
      line += '"' + a + '"';  // tests pass no arguments with quotes in them
    }
  }
  return text::Widen(line);
}

HANDLE AsHandle(long long h) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h)); }
long long FromHandle(HANDLE h) { return static_cast<long long>(reinterpret_cast<intptr_t>(h)); }

}  // namespace

std::string SelfPath() {
  wchar_t self[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return text::Narrow(std::wstring(self, n));
}

std::string SiblingProgram(const std::string& name) {
  const std::string self = SelfPath();
  return self.substr(0, self.find_last_of('\\') + 1) + name + ".exe";
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureOutput) {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (captureOutput) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    if (!::CreatePipe(&readEnd, &writeEnd, &sa, 0)) return;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    output_ = FromHandle(readEnd);
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (captureOutput) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
  }
  std::wstring cmd = CommandLine(argv);
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, captureOutput, 0, nullptr, nullptr, &si, &pi)) {
    ::CloseHandle(pi.hThread);
    process_ = FromHandle(pi.hProcess);
  }
  if (writeEnd != nullptr) ::CloseHandle(writeEnd);
}

ChildProcess::~ChildProcess() {
  Kill();
  if (output_ != -1) ::CloseHandle(AsHandle(output_));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(std::exchange(other.process_, 0)), output_(std::exchange(other.output_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    if (output_ != -1) ::CloseHandle(AsHandle(output_));
    process_ = std::exchange(other.process_, 0);
    output_ = std::exchange(other.output_, -1);
  }
  return *this;
}

std::string ChildProcess::ReadAll() {
  std::string out;
  if (output_ == -1) return out;
  char buf[512];
  DWORD n = 0;
  while (::ReadFile(AsHandle(output_), buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  return out;
}

int ChildProcess::Wait(int timeoutMs) {
  if (process_ == 0) return -1;
  if (::WaitForSingleObject(AsHandle(process_), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    Kill();
    return -1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(AsHandle(process_), &code);
  ::CloseHandle(AsHandle(process_));
  process_ = 0;
  return static_cast<int>(code);
}

void ChildProcess::Terminate() { Kill(); }

void ChildProcess::Kill() noexcept {
  if (process_ == 0) return;
  ::TerminateProcess(AsHandle(process_), 1);
  ::WaitForSingleObject(AsHandle(process_), 5000);
  ::CloseHandle(AsHandle(process_));
  process_ = 0;
}

}  // namespace nv::testing
