#include "registry_test_support.h"

#include "corekit/testing/registry_sandbox.h"

#ifdef _WIN32
#include "platform/windows_api.h"
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

}  // namespace regtest
