// NvUninst.dll under Wine as an installer calls it: loaded by path, both functions found by their
// plain names, run against the real registry, service manager and desktop, with the real
// NvSVC.exe installed first.  Once with the product key in place, once with it already gone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corekit/dll_version.h"
#include "corekit/registry.h"
#include "corekit/shortcut.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"
#include "wine_test_support.h"

namespace {

using nv::testing::ProgramFolder;
using nv::testing::ReadFileText;
using nv::testing::RunProgram;
using nv::testing::UniqueService;
using nv::testing::WaitFor;

constexpr const char* kProductKey = "Software\\Tarn\\Netvane-H";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunValue = "Netvane (Only Railgate)";

using InitializeFunction = int(__stdcall*)();
using UnInitializeFunction = int(__stdcall*)(HWND);

// GetProcAddress's pointer as the function it is (through the generic function pointer type).
template <typename Function>
Function Export(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

bool ServiceGone(const wchar_t* name) {
  UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueService service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
  return !service && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
}

bool KeyExists(const std::string& path) {
  CRegistry registry;
  return registry.Connect(corekit::kHKeyLocalMachine) &&
         registry.Open(path.c_str(), CRegistry::permissionRead);
}

bool RunValueExists() {
  CRegistry run;
  std::string value;
  return run.uOpenKey(corekit::kHKeyLocalMachine, kRunKey) && run.GetStringValue(kRunValue, value);
}

uint32_t Lease(const std::string& path) {
  CRegistry registry;
  uint32_t value = 0xFFFFFFFF;
  if (registry.uOpenKey(corekit::kHKeyLocalMachine, path.c_str()))
    registry.GetDoubleWordValue("LeaseTerminatesTime", value);
  return value;
}

class UninstallerLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_folder = nv::testing::MakeScratchFolder(L"nvuninst");
    m_trace = m_folder + L"trace.log";
    // The restart question is answered no by itself; its text lands in the trace.
    ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", L"1");
    ::SetEnvironmentVariableW(L"NV_TRACE", L"1");
    ::SetEnvironmentVariableW(L"NV_TRACE_FILE", m_trace.c_str());
    m_scratch = "SOFTWARE\\" + nv::text::Narrow(L"NvUninstTest-" + std::to_wstring(::GetCurrentProcessId()));

    m_library.reset(::LoadLibraryW((ProgramFolder() + L"NvUninst.dll").c_str()));
    ASSERT_TRUE(m_library) << ::GetLastError();
    m_initialize = Export<InitializeFunction>(m_library.get(), "UninstInitialize");
    m_uninitialize = Export<UnInitializeFunction>(m_library.get(), "UninstUnInitialize");
    ASSERT_NE(m_initialize, nullptr);
    ASSERT_NE(m_uninitialize, nullptr);
    const VersionNumbers project = ParseVersionText(NV_PROJECT_VERSION);
    const CDLLVersion version(nv::text::Narrow(ProgramFolder()) + "NvUninst.dll");
    EXPECT_TRUE(version.IsValid());
    EXPECT_EQ(version.GetMajorVersion(), project.major);
    EXPECT_EQ(version.GetMinorVersion(), project.minor);
    EXPECT_EQ(version.GetBuildNumber(), project.build);

    std::string desktop;
    CShortCut().GetIconPath(desktop);
    ASSERT_FALSE(desktop.empty());
    ::CreateDirectoryW(nv::text::Widen(desktop).c_str(), nullptr);
    m_link = desktop + "\\Netvane.LNK";
  }
  void TearDown() override {
    m_library.reset();
    RunProgram(L"\"" + ProgramFolder() + L"NvSVC.exe\" -u");
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueService driver(::OpenServiceW(manager.get(), L"Rgateii", SERVICE_ALL_ACCESS));
    if (driver) ::DeleteService(driver.get());
    CRegistry registry;
    if (registry.Connect(corekit::kHKeyLocalMachine)) {
      registry.DeleteKey(m_scratch.c_str());
      registry.DeleteKey(kProductKey);
      for (const std::string& key : m_adapterKeys) registry.DeleteKey(key.c_str());
    }
    ::DeleteFileW(nv::text::Widen(m_link).c_str());
    ::DeleteFileW(m_trace.c_str());
    ::RemoveDirectoryW(m_folder.c_str());
  }

  // What an installed, running product leaves behind: the launcher service, the driver's
  // service, the desktop shortcut and the autostart value.
  void InstallProduct() {
    const auto installed = RunProgram(L"\"" + ProgramFolder() + L"NvSVC.exe\" -i");
    ASSERT_NE(installed.output.find("NvMGR installed"), std::string::npos) << installed.output;
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueService driver(::CreateServiceW(manager.get(), L"Rgateii", L"Rgateii", SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                          SERVICE_ERROR_NORMAL, L"C:\\windows\\system32\\rgateii.exe",
                                          nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(driver) << ::GetLastError();
    ASSERT_EQ(CShortCut().CreateShortCut("C:\\Netvane\\LDNvChng.EXE", "", m_link), 0);
    ASSERT_NE(::GetFileAttributesW(nv::text::Widen(m_link).c_str()), INVALID_FILE_ATTRIBUTES);
    CRegistry run;
    ASSERT_TRUE(run.uOpenKey(corekit::kHKeyLocalMachine, kRunKey));
    ASSERT_TRUE(run.SetStringValue(kRunValue, "C:\\Netvane\\Netvane.exe"));
  }

  // `name` below the services key, a form the IP dialog records ("...\\TcpIp\\Parameters").
  std::string MakeAdapterKey(const std::string& name, uint32_t lease) {
    const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + name;
    m_adapterKeys.push_back(path);
    CRegistry adapter;
    EXPECT_TRUE(adapter.Connect(corekit::kHKeyLocalMachine));
    EXPECT_TRUE(adapter.Create(path.c_str()));
    EXPECT_TRUE(adapter.SetDoubleWordValue("LeaseTerminatesTime", lease));
    return path;
  }

  void ExpectEverythingRemoved() {
    EXPECT_EQ(::GetFileAttributesW(nv::text::Widen(m_link).c_str()), INVALID_FILE_ATTRIBUTES) << "shortcut";
    EXPECT_TRUE(WaitFor([] { return ServiceGone(L"NvMGR"); })) << "launcher service";
    EXPECT_TRUE(WaitFor([] { return ServiceGone(L"Rgateii"); })) << "driver service";
    EXPECT_FALSE(KeyExists(kProductKey));
    EXPECT_EQ(m_uninitialize(nullptr), 0);
    EXPECT_FALSE(RunValueExists());
    EXPECT_NE(ReadFileText(m_trace).find("MessageBox(Uninstallation Complete !!)"), std::string::npos)
        << ReadFileText(m_trace);
  }

  std::wstring m_folder, m_trace;
  std::string m_scratch, m_link;
  std::vector<std::string> m_adapterKeys;
  nv::win32::UniqueModule m_library;
  InitializeFunction m_initialize = nullptr;
  UnInitializeFunction m_uninitialize = nullptr;
};

TEST_F(UninstallerLibraryTest, RemovesShortcutServicesLeasesProductKeyAndRunValue) {
  InstallProduct();
  const std::string adapter = "NvUninstTest" + std::to_string(::GetCurrentProcessId());
  const std::string first = MakeAdapterKey("Tcpip\\Parameters\\Interfaces\\{" + adapter + "}", 1234567);
  const std::string second = MakeAdapterKey(adapter + "\\TcpIp\\Parameters", 7654321);
  m_adapterKeys.push_back("SYSTEM\\CurrentControlSet\\Services\\" + adapter + "\\TcpIp");
  m_adapterKeys.push_back("SYSTEM\\CurrentControlSet\\Services\\" + adapter);
  CRegistry product;
  ASSERT_TRUE(product.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(product.Create(kProductKey));
  // The folder that holds NvSVC.exe, as an installation records it.
  const std::wstring bin = ProgramFolder();
  ASSERT_TRUE(product.SetStringValue("InstalledPath", nv::text::Narrow(bin.substr(0, bin.size() - 1))));
  ASSERT_TRUE(product.SetStringValue("szBindPath1", first));
  ASSERT_TRUE(product.SetStringValue("szBindPath2", second));
  product.Close();

  EXPECT_EQ(m_initialize(), 0);
  EXPECT_EQ(Lease(first), 0u);
  EXPECT_EQ(Lease(second), 0u);
  // NvSVC.EXE -u removed the launcher (the library did not have to).
  EXPECT_EQ(ReadFileText(m_trace).find("the service is removed here"), std::string::npos);
  ExpectEverythingRemoved();
}

TEST_F(UninstallerLibraryTest, RemovesWhatIsLeftWhenTheProductKeyIsAlreadyGone) {
  InstallProduct();
  ASSERT_FALSE(KeyExists(kProductKey));

  EXPECT_EQ(m_initialize(), 0);
  EXPECT_NE(ReadFileText(m_trace).find("the service is removed here"), std::string::npos)
      << ReadFileText(m_trace);
  ExpectEverythingRemoved();
}

}  // namespace
