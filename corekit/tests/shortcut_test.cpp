#include <gtest/gtest.h>

#include <string>

#include "corekit/registry.h"
#include "corekit/shortcut.h"
#include "support/test_support.h"

using corekit_test::ReadBytes;
using corekit_test::TempDir;
using corekit_test::WriteBytes;

namespace {

// Folders as the portable code joins them ("\"); natively the files land in the same place.
std::string Join(const TempDir& dir, const std::string& name) { return dir.path().u8string() + "\\" + name; }
bool Exists(const TempDir& dir, const std::string& name) {
  return std::filesystem::exists(dir.path() / std::filesystem::u8path(name));
}

TEST(ShortCutNames, NetworkNamesBecomeFileNamesThatStayInTheFolder) {
  const struct {
    const char* name;
    const char* fit;
  } cases[] = {
      {"INTRA", "INTRA"},
      {"Net A/B", "Net A_B"},
      {"..\\up", ".._up"},
      {"a:b*c?\"<>|", "a_b_c_____"},
      {"Outside. ", "Outside"},
      {"tab\there", "tab_here"},
      {"", ""},
      {". .", ""},
      {"con", "_con"},  // never a device
      {"LPT1.net", "_LPT1.net"},
      {"COM10", "COM10"},
      {"\xEB\x82\xB4\xEB\xB6\x80", "\xEB\x82\xB4\xEB\xB6\x80"},  // Korean text is kept as it is
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LinkNameFromText(c.name), c.fit);
  }
  EXPECT_EQ(LinkFilePath("C:\\Desk", "Net A/B", ".LNK"), "C:\\Desk\\Net A_B.LNK");
  EXPECT_EQ(LinkFilePath("C:\\Desk", "..", ".LNK"), "");
}

TEST(ShortCutDesktop, AllUsersDesktopExceptOnWindows95) {
  const DesktopFolderSource nt = DesktopFolderSourceFor("WINXP");
  EXPECT_FALSE(nt.usersRoot);
  EXPECT_EQ(nt.key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  EXPECT_EQ(nt.value, "Common Desktop");
  const DesktopFolderSource w95 = DesktopFolderSourceFor("WIN95");
  EXPECT_TRUE(w95.usersRoot);
  EXPECT_EQ(w95.key, ".DEFAULT\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  EXPECT_EQ(w95.value, "Desktop");

  // The running system is of the NT family: the object takes "Common Desktop".
  CRegistry reg;
  ASSERT_TRUE(reg.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(reg.Create(nt.key.c_str()));
  std::string old;
  const bool hadOld = reg.GetStringValue("Common Desktop", old) != 0;
  ASSERT_TRUE(reg.SetStringValue("Common Desktop", "C:\\Test\\Desktop"));
  std::string folder;
  EXPECT_EQ(CShortCut().GetIconPath(folder), 1);
  EXPECT_EQ(folder, "C:\\Test\\Desktop");
  if (hadOld) {
    EXPECT_TRUE(reg.SetStringValue("Common Desktop", old));
  } else {
    reg.DeleteValue("Common Desktop");
  }
}

TEST(ShortCutLinks, MadeRenamedAndDeletedOnlyWhenTheyStartTheExpectedProgram) {
  TempDir dir;
  const std::string target = "C:\\Program Files\\Netvane\\LDNvChng.EXE";
  CShortCut shortcuts(dir.path().u8string());
  ASSERT_EQ(shortcuts.MakeShortCut(target, "INTRA"), 0);
  ASSERT_TRUE(Exists(dir, "INTRA.LNK"));
  ASSERT_EQ(shortcuts.MakeShortCut("C:\\Other\\tool.exe", "Other", ".LNK", dir.path().u8string()), 0);
  WriteBytes(dir.File("plain.LNK"), "not a link at all");
  EXPECT_TRUE(IsShellLink(Join(dir, "INTRA.LNK")));
  EXPECT_FALSE(IsShellLink(Join(dir, "plain.LNK")));
  EXPECT_FALSE(IsShellLink(Join(dir, "missing.LNK")));

  // Another program's link and a file that is no link are left alone.
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "Other.LNK"), target, Join(dir, "INTER.LNK")), 0);
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "plain.LNK"), target, ""), 0);
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "missing.LNK"), target, ""), 0);
  EXPECT_TRUE(Exists(dir, "Other.LNK"));
  EXPECT_EQ(ReadBytes(dir.File("plain.LNK")), "not a link at all");

  // Ours is renamed (the target compared without case), but never over an existing file.
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "INTRA.LNK"), "c:\\program files\\netvane\\ldnvchng.exe",
                                     Join(dir, "Other.LNK")),
            0);
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "INTRA.LNK"), "c:\\program files\\netvane\\ldnvchng.exe",
                                     Join(dir, "INTER.LNK")),
            1);
  EXPECT_FALSE(Exists(dir, "INTRA.LNK"));
  EXPECT_TRUE(Exists(dir, "INTER.LNK"));

  // The renamed link still starts the program: deleting it by its target works.
  EXPECT_EQ(shortcuts.RenDelShortCut(Join(dir, "INTER.LNK"), target, ""), 1);
  EXPECT_FALSE(Exists(dir, "INTER.LNK"));
  EXPECT_TRUE(Exists(dir, "Other.LNK"));

  // A name with nothing left to make a file of is refused.
  EXPECT_NE(shortcuts.MakeShortCut(target, " . "), 0);
  EXPECT_NE(CShortCut(std::string()).MakeShortCut(target, "INTRA"), 0);  // no desktop folder known
}

TEST(ShortCutPif, CloseOnExitIsBit0x10OfByte99) {
  TempDir dir;
  std::string pif(370, '\0');
  for (size_t i = 0; i < pif.size(); ++i) pif[i] = static_cast<char>(i * 7 % 251);
  pif[99] = 0x0F;
  WriteBytes(dir.File("a.pif"), pif);
  EXPECT_EQ(CShortCut::PIFcloseONexit(dir.File("a.pif")), 1);
  std::string expected = pif;
  expected[99] = 0x1F;
  EXPECT_EQ(ReadBytes(dir.File("a.pif")), expected);
  EXPECT_EQ(CShortCut::PIFcloseONexit(dir.File("a.pif")), 1);  // already set: unchanged
  EXPECT_EQ(ReadBytes(dir.File("a.pif")), expected);

  WriteBytes(dir.File("short.pif"), std::string(99, 'x'));  // no byte 99: not a PIF, left alone
  EXPECT_EQ(CShortCut::PIFcloseONexit(dir.File("short.pif")), 0);
  EXPECT_EQ(ReadBytes(dir.File("short.pif")), std::string(99, 'x'));
  EXPECT_EQ(CShortCut::PIFcloseONexit(dir.File("missing.pif")), 0);

  CShortCut shortcuts(dir.path().u8string());
  EXPECT_EQ(shortcuts.MakePIF("C:\\Tools", "EDIT.COM"), 0);
  EXPECT_TRUE(Exists(dir, "EDIT.PIF"));
}

}  // namespace
