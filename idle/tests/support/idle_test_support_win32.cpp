#include <cstdio>
#include <string>

#include "idle_test_support.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::idletest {
namespace {

// Wine starts Unix programs by their path on drive Z:, which maps to the Unix root.
constexpr char kXdotool[] = "Z:\\usr\\bin\\xdotool";

// Starts a Unix program (Wine gives no process handle worth keeping for those).
bool StartUnixShell(const std::string& script) {
  std::wstring cmd = L"Z:\\bin\\sh -c \"" + text::Widen(script) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  if (pi.hThread != nullptr) ::CloseHandle(pi.hThread);
  if (pi.hProcess != nullptr) ::CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

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
  if (!StartUnixShell(script)) return -1;
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

std::string PrepareInputDisplay() {
  if (::GetFileAttributesA(kXdotool) == INVALID_FILE_ATTRIBUTES) return "xdotool is not reachable from Wine";
  char display[64] = {};
  if (::GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) return "no DISPLAY for Wine";
  return {};
}

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

}  // namespace nv::idletest
