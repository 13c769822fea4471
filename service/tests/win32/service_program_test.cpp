// NvSVC.exe under Wine against the real service control manager: install twice, the manager's
// view, the controls 130, 129 without and with "InstalledPath" (a stand-in Netvane.EXE writes a
// marker), the trace of the token it used, and removal.
#include <gtest/gtest.h>

#include "corekit/dll_version.h"
#include "corekit/registry.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"
#include "wine_test_support.h"

namespace {

using nv::testing::ProgramFolder;
using nv::testing::ReadFileText;
using nv::testing::RunProgram;
using nv::testing::UniqueService;
using nv::testing::WaitFor;

constexpr const char* kProductKey = "SOFTWARE\\Tarn\\Netvane-H";
constexpr const wchar_t* kServiceName = L"NvMGR";

std::wstring NvSvc() { return L"\"" + ProgramFolder() + L"NvSVC.exe\""; }

// The console's line ends, as the program writes them on Windows, read as "\n".
std::string Lines(std::string text) {
  for (size_t cr = text.find("\r\n"); cr != std::string::npos; cr = text.find("\r\n", cr)) text.erase(cr, 1);
  return text;
}

DWORD StateOf(SC_HANDLE service) {
  SERVICE_STATUS status{};
  return ::QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "InstalledPath" in the product key, as the test wants it; the key is removed afterwards when
// the test made it.
class ProductKey {
 public:
  ProductKey() {
    CRegistry probe;
    m_existed =
        probe.Connect(corekit::kHKeyLocalMachine) && probe.Open(kProductKey, CRegistry::permissionRead);
  }
  ~ProductKey() {
    CRegistry registry;
    if (!registry.Connect(corekit::kHKeyLocalMachine)) return;
    if (m_existed) {
      if (registry.Open(kProductKey)) registry.DeleteValue("InstalledPath");
    } else {
      registry.DeleteKey(kProductKey);
    }
  }
  void SetInstalledPath(const std::string* path) {
    CRegistry registry;
    ASSERT_TRUE(registry.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(registry.Create(kProductKey));
    if (path == nullptr)
      registry.DeleteValue("InstalledPath");
    else
      ASSERT_TRUE(registry.SetStringValue("InstalledPath", *path));
  }

 private:
  bool m_existed = false;
};

TEST(ServiceProgramTest, InstallsLaunchesTheTrayProgramOnControl129AndRemovesItself) {
  UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ASSERT_TRUE(manager);
  const auto serviceGone = [&] {
    UniqueService gone(::OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_STATUS));
    return !gone && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
  };
  // A service left over by an interrupted run goes first; the manager deletes it once it stopped.
  RunProgram(NvSvc() + L" -u");
  ASSERT_TRUE(WaitFor(serviceGone));
  ProductKey productKey;
  const std::wstring folder = nv::testing::MakeScratchFolder(L"nvsvc");
  const std::wstring trace = folder + L"service-trace.log";
  const std::wstring marker = folder + L"started.txt";
  // The programs this test runs trace into a file of its own (shown when a check fails).
  const std::wstring programTrace = folder + L"programs-trace.log";
  ::SetEnvironmentVariableW(L"NV_TRACE", L"1");
  ::SetEnvironmentVariableW(L"NV_TRACE_FILE", programTrace.c_str());

  {
    SCOPED_TRACE("the program carries the project's version");
    const VersionNumbers project = ParseVersionText(NV_PROJECT_VERSION);
    const CDLLVersion version(nv::text::Narrow(ProgramFolder()) + "NvSVC.exe");
    EXPECT_TRUE(version.IsValid());
    EXPECT_EQ(version.GetMajorVersion(), project.major);
    EXPECT_EQ(version.GetMinorVersion(), project.minor);
    EXPECT_EQ(version.GetBuildNumber(), project.build);
  }
  {
    SCOPED_TRACE("no argument: nothing printed, exit 0");
    const auto run = RunProgram(NvSvc());
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(RunProgram(NvSvc() + L" -x").output, "");
  }
  {
    SCOPED_TRACE("install twice");
    const auto first = RunProgram(NvSvc() + L" -i");
    EXPECT_EQ(Lines(first.output), "NvMGR installed\n");
    EXPECT_EQ(first.exitCode, 0u);
    // Wine keeps no service access list (a query after the set gives "D:"), so what can be
    // shown here is that the list was handed to the manager and taken.
    EXPECT_NE(ReadFileText(programTrace)
                  .find("NvSVC: access list D:(A;;0xf01ff;;;SY)(A;;0xf01ff;;;BA)(A;;0x2008d;;;IU)"
                        "(A;;0x2008d;;;AU) set (0)"),
              std::string::npos)
        << ReadFileText(programTrace);
    const auto second = RunProgram(NvSvc() + L" -I");
    EXPECT_EQ(Lines(second.output), "NvMGR is already installed\n") << ReadFileText(programTrace);
  }

  UniqueService service(::OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
  ASSERT_TRUE(service) << ::GetLastError();
  EXPECT_TRUE(WaitFor([&] { return StateOf(service.get()) == SERVICE_RUNNING; })) << "started by -i";
  {
    SCOPED_TRACE("the manager's view");
    const auto query = RunProgram(L"sc.exe query NvMGR");
    EXPECT_NE(query.output.find("NvMGR"), std::string::npos) << query.output;
    EXPECT_NE(query.output.find("RUNNING"), std::string::npos) << query.output;
    CRegistry eventSource;
    ASSERT_TRUE(eventSource.Connect(corekit::kHKeyLocalMachine));
    EXPECT_TRUE(eventSource.Open("SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NvMGR",
                                 CRegistry::permissionRead));
    uint32_t types = 0;
    EXPECT_TRUE(eventSource.GetDoubleWordValue("TypesSupported", types));
    EXPECT_EQ(types, 7u);
  }

  // Again with the trace on, into a file of ours: the service's output is not ours to read.
  SERVICE_STATUS status{};
  ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
  ASSERT_TRUE(WaitFor([&] { return StateOf(service.get()) == SERVICE_STOPPED; }));
  std::wstring traceArgument = L"-trace";
  std::wstring tracePath = trace;
  const wchar_t* arguments[] = {traceArgument.c_str(), tracePath.c_str()};
  ASSERT_TRUE(::StartServiceW(service.get(), 2, arguments)) << ::GetLastError();
  ASSERT_TRUE(WaitFor([&] { return StateOf(service.get()) == SERVICE_RUNNING; }));

  ASSERT_TRUE(
      ::CopyFileW((ProgramFolder() + L"fake_netvane.exe").c_str(), (folder + L"Netvane.EXE").c_str(), FALSE));
  const std::string installed = nv::text::Narrow(folder.substr(0, folder.size() - 1));
  {
    SCOPED_TRACE("130 is acknowledged and starts nothing");
    productKey.SetInstalledPath(&installed);
    EXPECT_TRUE(::ControlService(service.get(), 130, &status)) << ::GetLastError();
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(WaitFor([&] { return ReadFileText(trace).find("control 130") != std::string::npos; }));
  }
  {
    SCOPED_TRACE("129 without InstalledPath starts nothing");
    productKey.SetInstalledPath(nullptr);
    EXPECT_TRUE(::ControlService(service.get(), 129, &status)) << ::GetLastError();
    EXPECT_TRUE(WaitFor([&] { return ReadFileText(trace).find("no InstalledPath") != std::string::npos; }))
        << ReadFileText(trace);
    EXPECT_FALSE(FileExists(marker));
  }
  {
    SCOPED_TRACE("129 starts Netvane.EXE from InstalledPath, in that folder");
    productKey.SetInstalledPath(&installed);
    EXPECT_TRUE(::ControlService(service.get(), 129, &status)) << ::GetLastError();
    ASSERT_TRUE(WaitFor([&] { return !ReadFileText(marker).empty(); })) << ReadFileText(trace);
    const std::string started = Lines(ReadFileText(marker));
    EXPECT_EQ(started, installed + "\n" + std::to_string(::WTSGetActiveConsoleSessionId()) + "\n")
        << "started in the installed folder, in the console session";
    // Wine runs no logon process: the session's user token stands in, and the trace says so.
    const std::string log = ReadFileText(trace);
    EXPECT_NE(log.find("no winlogon.exe in console session"), std::string::npos) << log;
    EXPECT_NE(log.find("started " + installed + "\\Netvane.EXE"), std::string::npos) << log;
  }
  {
    SCOPED_TRACE("remove");
    const auto removed = RunProgram(NvSvc() + L" -u");
    EXPECT_EQ(Lines(removed.output), "NvMGR removed.\n");
    service.reset();
    EXPECT_TRUE(WaitFor(serviceGone));
    EXPECT_EQ(Lines(RunProgram(NvSvc() + L" -u").output), "NvMGR is not installed\n");
    const auto query = RunProgram(L"sc.exe query NvMGR");
    EXPECT_EQ(query.output.find("RUNNING"), std::string::npos) << query.output;
  }
  ::DeleteFileW(marker.c_str());
  ::DeleteFileW((folder + L"Netvane.EXE").c_str());
  ::DeleteFileW(trace.c_str());
  ::DeleteFileW(programTrace.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
