// CRegistry against the Windows registry's own wide functions: text crosses as proper UTF-16,
// handles are real keys, and change notification works.
#include <gtest/gtest.h>

#include <string>

#include "corekit/registry.h"
#include "platform/text.h"
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

// A registry link inside a tree: the tree's delete removes the link and leaves the key it points
// to, with its values and subkeys, where it was.
TEST_F(RegistryWin32, DeletingATreeRemovesALinkNotWhatItPointsTo) {
  const std::wstring target = L"Software\\NvLinkTarget-" + std::to_wstring(::GetCurrentProcessId());
  HKEY raw = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, (target + L"\\child").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);
  const DWORD keep = 7;
  ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, target.c_str(), L"dwKeep", REG_DWORD, &keep, sizeof keep),
            ERROR_SUCCESS);

  ASSERT_TRUE(reg.Create((Path("tree") + "\\plain").c_str()));
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, nv::text::Widen(Path("tree") + "\\link").c_str(), 0, nullptr,
                              REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  const std::wstring destination = L"\\Registry\\Machine\\" + target;  // no closing zero
  ASSERT_EQ(::RegSetValueExW(raw, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(destination.data()),
                             static_cast<DWORD>(destination.size() * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);
  // The link works: through it the target's value is read.
  DWORD seen = 0, size = sizeof seen;
  ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, nv::text::Widen(Path("tree") + "\\link").c_str(), L"dwKeep",
                           RRF_RT_REG_DWORD, nullptr, &seen, &size),
            ERROR_SUCCESS);
  ASSERT_EQ(seen, keep);

  CRegistry remover;
  ASSERT_TRUE(remover.Connect(corekit::kHKeyCurrentUser));
  EXPECT_TRUE(remover.DeleteKey(Path("tree").c_str())) << remover.GetErrorCode();
  EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, nv::text::Widen(Path("tree")).c_str(), 0, KEY_READ, &raw),
            ERROR_SUCCESS);
  seen = 0;
  size = sizeof seen;
  EXPECT_EQ(
      ::RegGetValueW(HKEY_LOCAL_MACHINE, target.c_str(), L"dwKeep", RRF_RT_REG_DWORD, nullptr, &seen, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(seen, keep);
  EXPECT_EQ(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (target + L"\\child").c_str(), 0, KEY_READ, &raw),
            ERROR_SUCCESS);
  ::RegCloseKey(raw);
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, target.c_str());
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
