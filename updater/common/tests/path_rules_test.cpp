#include "updater/path_rules.h"

#include <gtest/gtest.h>

namespace nv::updater {
namespace {

TEST(PathRules, PlainFileNamesStayInTheirFolder) {
  const struct {
    const char* name;
    bool plain;
  } cases[] = {
      {"Netvane.exe", true},
      {"NvRes.dll", true},
      {"a..b", false},
      {"..\\..\\x.exe", false},
      {"../x.exe", false},
      {"sub\\x.exe", false},
      {"sub/x.exe", false},
      {"C:x.exe", false},
      {"C:\\x.exe", false},
      {"\\\\srv\\x", false},
      {"..", false},
      {".", false},
      {". .", false},
      {"", false},
      {"x\tz", false},
      {"NUL", false},
      {"nul.txt", false},
      {"COM1", false},
      {"lpt9.dll", false},
      {"CON .ini", false},
      {"COM10", true},
      {"console.exe", true},
      {"x.exe:ads", false},
      {"COM\xC2\xB9", false},
      {"lpt\xC2\xB2.dll", false},
      {"COM\xC2\xB3 .txt", false},
      {"COM\xC2\xB9x", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsPlainFileName(c.name), c.plain);
  }
}

TEST(PathRules, NamesThatReachOneFile) {
  const struct {
    const char* a;
    const char* b;
    bool alias;
  } cases[] = {
      {"a.dll", "A.DLL", true},
      {"a.dll", "a.dll.", true},
      {"a.dll", "a.dll  ", true},
      {"a.dll", "a.dll. .", true},
      {"longfilename.dll", "LONGFI~1.DLL", true},
      {"LONGFI~1.DLL", "longfilename.dll", true},
      {"long file.name.dll", "longfi~2.dll", true},
      {"Netvane.exe", "Netvan~1.exe", true},
      {"a.dll", "b.dll", false},
      {"a.dll", "a.dl", false},
      {"longfilename.dll", "OTHERF~1.DLL", false},
      {"longfilename.dll", "LONGFI~1.EXE", false},
      {"longfilename.dll", "LONGFI~X.DLL", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(NamesMayAlias(c.a, c.b), c.alias);
  }
}

TEST(PathRules, SafeAbsolutePathsPerStyle) {
  const struct {
    const char* path;
    PathStyle style;
    bool safe;
  } cases[] = {
      {"C:\\Program Files\\Netvane", PathStyle::kWindows, true},
      {"c:/windows/system32", PathStyle::kWindows, true},
      {"\\\\server\\share\\dir", PathStyle::kWindows, true},
      {"\\\\server\\share", PathStyle::kWindows, true},
      {"\\\\\\x", PathStyle::kWindows, false},
      {"\\\\server", PathStyle::kWindows, false},
      {"\\\\server\\\\x", PathStyle::kWindows, false},
      {"C:\\WINDOWS\\..\\..\\x", PathStyle::kWindows, false},
      {"C:\\a\\.\\b", PathStyle::kWindows, false},
      {"C:\\a\\.. \\b", PathStyle::kWindows, false},
      {"C:\\a\\b:stream", PathStyle::kWindows, false},
      {"\\\\?\\C:\\x", PathStyle::kWindows, false},
      {"\\\\.\\COM1", PathStyle::kWindows, false},
      {"C:\\Net\\CON", PathStyle::kWindows, false},
      {"C:\\NUL\\sub", PathStyle::kWindows, false},
      {"C:\\Net\\com1.txt\\x", PathStyle::kWindows, false},
      {"C:\\Net\\LPT\xC2\xB9", PathStyle::kWindows, false},
      {"C:\\Net\\CONSOLE", PathStyle::kWindows, true},
      {"/opt/CON", PathStyle::kPosix, true},
      {"relative\\dir", PathStyle::kWindows, false},
      {"\\rooted\\no\\drive", PathStyle::kWindows, false},
      {"C:relative", PathStyle::kWindows, false},
      {"ALL", PathStyle::kWindows, false},
      {"", PathStyle::kWindows, false},
      {"/opt/netvane", PathStyle::kPosix, true},
      {"/opt/../etc", PathStyle::kPosix, false},
      {"opt/netvane", PathStyle::kPosix, false},
      {"/opt/a..b", PathStyle::kPosix, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsSafeAbsolutePath(c.path, c.style), c.safe);
  }
}

TEST(PathRules, JoinAndParent) {
  EXPECT_EQ(JoinPath("C:\\Netvane", "x.exe", PathStyle::kWindows), "C:\\Netvane\\x.exe");
  EXPECT_EQ(JoinPath("C:\\", "x.exe", PathStyle::kWindows), "C:\\x.exe");
  EXPECT_EQ(JoinPath("/opt", "x", PathStyle::kPosix), "/opt/x");
  EXPECT_EQ(ParentDirectory("C:\\Netvane\\x.exe", PathStyle::kWindows), "C:\\Netvane");
  EXPECT_EQ(ParentDirectory("C:/Netvane/x.exe", PathStyle::kWindows), "C:/Netvane");
  EXPECT_EQ(ParentDirectory("/opt/x", PathStyle::kPosix), "/opt");
  EXPECT_EQ(ParentDirectory("x.exe", PathStyle::kPosix), "");
  EXPECT_EQ(ParentDirectory("/x", PathStyle::kPosix), "/");
  EXPECT_EQ(ParentDirectory("C:\\x.exe", PathStyle::kWindows), "C:\\");
  EXPECT_TRUE(IsSafeAbsolutePath(ParentDirectory("C:\\x.exe", PathStyle::kWindows), PathStyle::kWindows));
}

}  // namespace
}  // namespace nv::updater
