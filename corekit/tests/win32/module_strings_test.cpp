#include <gtest/gtest.h>

#include "corekit/ini_file.h"
#include "corekit/module_string_source.h"

namespace {

// This test program carries the string table of module_strings_test.rc.

TEST(ModuleStrings, DefaultSourceIsTheProgramsOwnStringTable) {
  SetStringSource(nullptr);
  EXPECT_EQ(LoadResourceString(101), "Netvane built-in text");
  EXPECT_EQ(LoadResourceString(999), "");

  CIniFile ini;
  EXPECT_EQ(ini.GetValue("Menu", "Change", 101), "Netvane built-in text");
  EXPECT_EQ(ini.GetValueI("Menu", "Count", 102), 42);
}

TEST(ModuleStrings, RegisteredModuleAnswersInUtf8) {
  const CModuleStringSource own(::GetModuleHandleW(nullptr));
  std::string text;
  ASSERT_TRUE(own.Lookup(103, text));
  EXPECT_EQ(text, "\xED\x95\x9C\xEA\xB8\x80 \xEB\xAC\xB8\xEC\x9E\x90\xEC\x97\xB4");
  EXPECT_FALSE(own.Lookup(999, text));

  // A module without our strings: the lookup fails instead of giving another text.
  const CModuleStringSource other(::GetModuleHandleW(L"kernel32.dll"));
  SetStringSource(&other);
  EXPECT_EQ(LoadResourceString(101), "");
  SetStringSource(nullptr);
}

}  // namespace
