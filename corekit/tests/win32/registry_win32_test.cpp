// CRegistry against the Windows registry's own wide functions: text crosses as proper UTF-16,
// handles are real keys, and change notification works.
#include <gtest/gtest.h>

#include <string>

#include "corekit/registry.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"
#include "support/registry_test_support.h"

namespace {

class RegistryWin32 : public regtest::ScratchKeyTest {};

TEST_F(RegistryWin32, TextIsUtf16InTheRegistryAndUtf8InTheProgram) {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F\x65";  // "Grüße"
  ASSERT_TRUE(reg.SetValue("szFromProgram", utf8));

  wchar_t wide[32] = {};
  DWORD bytes = sizeof wide;
  DWORD type = 0;
  ASSERT_EQ(::RegQueryValueExW(reg.GetHandle(), L"szFromProgram", nullptr, &type,
                               reinterpret_cast<BYTE*>(wide), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(wide), L"Gr\u00FC\u00DFe");

  const wchar_t list[] = L"\u00E9t\u00E9\0B\0";  // "été", "B", and the closing zero
  ASSERT_EQ(::RegSetValueExW(reg.GetHandle(), L"msFromWindows", 0, REG_MULTI_SZ,
                             reinterpret_cast<const BYTE*>(list), sizeof list),
            ERROR_SUCCESS);
  std::vector<std::string> strings;
  ASSERT_TRUE(reg.GetStringArrayValue("msFromWindows", strings));
  EXPECT_EQ(strings, (std::vector<std::string>{"\xC3\xA9t\xC3\xA9", "B"}));
  CRegistry::KeyValueTypes kind = CRegistry::typeNone;
  uint32_t size = 0;
  ASSERT_TRUE(reg.QueryValue("msFromWindows", kind, nullptr, size));
  EXPECT_EQ(size, 9u);  // UTF-8 bytes: "été" 5 + 1, "B" 1 + 1, closing zero 1
}

TEST_F(RegistryWin32, NotifyChangeSignalsWhenAValueChanges) {
  nv::win32::UniqueKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  ASSERT_TRUE(reg.NotifyChange(event.get(), CRegistry::changeLastSet, true, true)) << reg.GetErrorCode();
  EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  CRegistry writer;
  ASSERT_TRUE(writer.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  ASSERT_TRUE(writer.SetValue("dwPoke", uint32_t{1}));
  EXPECT_EQ(::WaitForSingleObject(event.get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
}

}  // namespace
