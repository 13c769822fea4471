#include "registry_test_support.h"

#include "corekit/testing/registry_sandbox.h"

#ifdef _WIN32
#include "platform/text.h"
#include "platform/windows_api.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace regtest {
namespace {

// Natively every test program of this folder works on a store of its own.
const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

}  // namespace

std::string ScratchPath() { return corekit::testing::ProcessScratchName("Software\\NetvaneTest"); }

bool DeleteScratchTree() { return corekit::testing::DeleteTree(corekit::kHKeyCurrentUser, ScratchPath()); }

void ScratchKeyTest::SetUp() {
  ASSERT_TRUE(DeleteScratchTree());
  ASSERT_TRUE(reg.Connect(corekit::kHKeyCurrentUser));
  ASSERT_TRUE(reg.Create(ScratchPath().c_str())) << reg.GetErrorCode();
}

void ScratchKeyTest::TearDown() {
  reg.Close();
  EXPECT_TRUE(DeleteScratchTree());
}

bool RunningUnderWine() {
#ifdef _WIN32
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

#ifdef _WIN32
uintptr_t StartSelf(const std::vector<std::string>& args) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\"";
  for (const auto& arg : args) command += L" \"" + nv::text::Widen(arg) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 0;
  ::CloseHandle(pi.hThread);
  return reinterpret_cast<uintptr_t>(pi.hProcess);
}

int WaitChild(uintptr_t child) {
  HANDLE process = reinterpret_cast<HANDLE>(child);
  DWORD code = static_cast<DWORD>(-1);
  if (::WaitForSingleObject(process, 120000) == WAIT_OBJECT_0) ::GetExitCodeProcess(process, &code);
  ::CloseHandle(process);
  return static_cast<int>(code);
}
#else
uintptr_t StartSelf(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"/proc/self/exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv("/proc/self/exe", raw.data());
    ::_exit(127);
  }
  return pid > 0 ? static_cast<uintptr_t>(pid) : 0;
}

int WaitChild(uintptr_t child) {
  int status = 0;
  if (::waitpid(static_cast<pid_t>(child), &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace regtest
