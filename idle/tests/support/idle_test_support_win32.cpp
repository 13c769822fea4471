#include <cstdio>
#include <string>

#include "idle_test_support.h"
#include "platform/text.h"
#include "platform/win32_handles.h"

namespace nv::idletest {
namespace {

// Wine starts Unix programs by their path on drive Z:, which maps to the Unix root.
constexpr char kXdotool[] = "Z:\\usr\\bin\\xdotool";

std::wstring CommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (const auto& a : argv) {
    if (!line.empty()) line += ' ';
    if (a.find_first_of(" \t\"") == std::string::npos && !a.empty()) {
      line += a;
    } else {
      line += '"' + a + '"';  // our arguments hold no quotes
    }
  }
  return text::Widen(line);
}

PROCESS_INFORMATION Start(const std::vector<std::string>& argv, HANDLE output) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (output != nullptr) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = output;
    si.hStdError = output;
    si.hStdInput = nullptr;
  }
  std::wstring cmd = CommandLine(argv);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &si,
                        &pi)) {
    return PROCESS_INFORMATION{};
  }
  ::CloseHandle(pi.hThread);
  return pi;
}

}  // namespace

std::string SiblingProgram(const std::string& name) {
  wchar_t self[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string path = text::Narrow(std::wstring(self, n));
  return path.substr(0, path.find_last_of('\\') + 1) + name + ".exe";
}

int RunProgram(const std::vector<std::string>& argv, std::string* output, int timeoutMs) {
  win32::UniqueKernelHandle readEnd;
  win32::UniqueKernelHandle writeEnd;
  if (output != nullptr) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!::CreatePipe(&r, &w, &sa, 0)) return -1;
    readEnd.reset(r);
    writeEnd.reset(w);
    ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
  }
  PROCESS_INFORMATION pi = Start(argv, writeEnd.get());
  writeEnd.reset();
  if (pi.hProcess == nullptr) return -1;
  win32::UniqueKernelHandle process(pi.hProcess);
  if (output != nullptr) {
    output->clear();
    char buf[256];
    DWORD n = 0;
    while (::ReadFile(readEnd.get(), buf, sizeof buf, &n, nullptr) && n > 0) output->append(buf, n);
  }
  if (::WaitForSingleObject(process.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), 1);
    return -1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

// Wine cannot wait for a Unix process or read its exit code, so a shell writes the code to a file
// (renamed into place whole) and we poll for it.
int XdotoolOnce(const std::vector<std::string>& args) {
  if (::GetFileAttributesA(kXdotool) == INVALID_FILE_ATTRIBUTES) return -1;
  static int calls = 0;
  const std::string rc =
      "/tmp/nvidle-xdotool-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++calls);
  std::string script = "/usr/bin/xdotool";
  for (const auto& a : args) script += " '" + a + "'";
  script += "; echo $? >" + rc + ".tmp && mv " + rc + ".tmp " + rc;
  PROCESS_INFORMATION pi = Start({"Z:\\bin\\sh", "-c", script}, nullptr);
  if (pi.hProcess != nullptr) ::CloseHandle(pi.hProcess);
  std::string rcWin = "Z:" + rc;
  for (char& c : rcWin) c = c == '/' ? '\\' : c;
  for (int waited = 0; waited < 30000; waited += 20) {
    FILE* f = std::fopen(rcWin.c_str(), "r");
    if (f == nullptr) {
      SleepMs(20);
      continue;
    }
    int code = -1;
    if (std::fscanf(f, "%d", &code) != 1) code = -1;
    std::fclose(f);
    ::DeleteFileA(rcWin.c_str());
    return code;
  }
  return -1;
}

Child::Child(const std::vector<std::string>& argv)
    : handle_(reinterpret_cast<long long>(Start(argv, nullptr).hProcess)) {}

Child::~Child() {
  if (handle_ == 0) return;
  HANDLE process = reinterpret_cast<HANDLE>(handle_);
  ::TerminateProcess(process, 0);
  ::WaitForSingleObject(process, 5000);
  ::CloseHandle(process);
}

std::string PrepareInputDisplay() {
  if (::GetFileAttributesA(kXdotool) == INVALID_FILE_ATTRIBUTES) return "xdotool is not reachable from Wine";
  char display[64] = {};
  if (::GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) return "no DISPLAY for Wine";
  return {};
}

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

}  // namespace nv::idletest
