#include "registry_test_support.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include "platform/text.h"
#include "platform/windows_api.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace regtest {
namespace {

#ifndef _WIN32
// Points the process's store at a temporary file before any test runs; removed at exit.
struct TemporaryStore {
  std::string dir;
  TemporaryStore() {
    // Programs started by a test share their parent's store.
    if (const char* inherited = std::getenv("NV_REGTEST_STORE")) {
      ::setenv("NV_REGISTRY_DB", inherited, 1);
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "nv-regtest-XXXXXX").string();
    if (::mkdtemp(pattern.data())) {
      dir = pattern;
      ::setenv("NV_REGISTRY_DB", (dir + "/registry.db").c_str(), 1);
      ::setenv("NV_REGTEST_STORE", (dir + "/registry.db").c_str(), 1);
    }
  }
  ~TemporaryStore() {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
  }
};
TemporaryStore g_store;
#endif

unsigned long CurrentPid() {
#ifdef _WIN32
  return ::GetCurrentProcessId();
#else
  return static_cast<unsigned long>(::getpid());
#endif
}

}  // namespace

std::string TestStorePath() {
#ifdef _WIN32
  return {};
#else
  const char* path = std::getenv("NV_REGISTRY_DB");
  return path ? path : "";
#endif
}

std::string ScratchPath() { return "Software\\NetvaneTest-" + std::to_string(CurrentPid()); }

bool DeleteScratchTree() {
  CRegistry user;
  if (!user.Connect(corekit::kHKeyCurrentUser)) return false;
  // Opens "Software" and deletes the scratch key with its tree below it.
  return user.DeleteKey(ScratchPath().c_str()) || user.GetErrorCode() == 2;
}

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
