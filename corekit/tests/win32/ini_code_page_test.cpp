#include <gtest/gtest.h>

#include "corekit/ini_file.h"
#include "platform/text.h"
#include "platform/windows_api.h"
#include "support/test_support.h"

namespace {

// What the active ANSI code page makes of `bytes`, in UTF-8.
std::string ThroughCodePage(std::string_view bytes) {
  wchar_t wide[64];
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 64);
  return nv::text::Narrow(std::wstring_view(wide, static_cast<size_t>(n)));
}

TEST(IniCodePage, FileThatIsNotUtf8IsReadInTheAnsiCodePage) {
  const std::string cp949 = "\xC7\xD1\xB1\xDB";  // Korean word in code page 949
  corekit_test::TempDir dir;
  CIniFile ini(dir.File("NetvaneKOR.ini"));
  corekit_test::WriteBytes(ini.GetPath(), "[Menu]\r\nChange=" + cp949 + "\r\nnext=ok\r\n");
  ASSERT_TRUE(ini.ReadFile());

  const std::string value = ini.GetValue("Menu", "Change");
  EXPECT_EQ(value, ThroughCodePage(cp949)) << "code page " << ::GetACP();
  EXPECT_TRUE(nv::text::IsValidUtf8(value));
  EXPECT_NE(value, cp949);
  if (::GetACP() == 949) {
    EXPECT_EQ(value, "\xED\x95\x9C\xEA\xB8\x80");
  }
  EXPECT_EQ(ini.GetValue("Menu", "next"), "ok");
}

TEST(IniCodePage, ByteOrderMarkKeepsStrayBytesAsTheyAre) {
  corekit_test::TempDir dir;
  CIniFile ini(dir.File("marked.ini"));
  corekit_test::WriteBytes(ini.GetPath(), "\xEF\xBB\xBF[S]\r\nv=\xC7\xD1\r\n");
  ASSERT_TRUE(ini.ReadFile());
  EXPECT_EQ(ini.GetValue("S", "v"), "\xC7\xD1");
}

}  // namespace
