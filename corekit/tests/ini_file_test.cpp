#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "corekit/ini_file.h"
#include "corekit/resource_strings.h"
#include "support/test_support.h"

using corekit_test::ReadBytes;
using corekit_test::TempDir;
using corekit_test::WriteBytes;

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  // Writes `bytes` as the file and reads it into `ini`.
  void Load(std::string_view bytes) {
    WriteBytes(path, bytes);
    ini.SetPath(path);
    ASSERT_TRUE(ini.ReadFile());
  }

  TempDir dir;
  std::string path = dir.File("Netvane.ini");
  CIniFile ini;
};

TEST_F(IniFileTest, ReadsSectionsAndValuesExactlyAsWritten) {
  Load(
      "top=before any header\r\n"
      "[Menu]\r\n"
      "Change=Change network\r\n"
      " spaced = both \r\n"
      "[[Doubled]]\r\n"
      "x=1\r\n"
      "[Broken=half\r\n"
      "no equals sign here\r\n"
      "\r\n"
      "a=b=c\n"
      "cr=one\rtwo\r\n"
      "k=first\n"
      "k=second\n"
      "empty=\n"
      "last=no newline");
  EXPECT_EQ(ini.GetNumKeys(), 3);
  EXPECT_EQ(ini.GetValue("", "top"), "before any header");
  EXPECT_EQ(ini.GetValue("Menu", "Change"), "Change network");
  EXPECT_EQ(ini.GetValue("Menu", " spaced "), " both ");
  EXPECT_EQ(ini.GetValue("Doubled", "x"), "1");
  EXPECT_EQ(ini.GetValue("Doubled", "[Broken"), "half");
  EXPECT_EQ(ini.GetValue("Doubled", "a"), "b=c");
  EXPECT_EQ(ini.GetValue("Doubled", "cr"), "one\rtwo");
  EXPECT_EQ(ini.GetValue("Doubled", "k"), "second");
  EXPECT_EQ(ini.GetValue("Doubled", "empty"), "");
  EXPECT_EQ(ini.GetValue("Doubled", "last"), "no newline");
  // x, [Broken, a, cr, k, empty, last: the line without "=" is not a value
  EXPECT_EQ(ini.GetNumValues("Doubled"), 7);
  EXPECT_EQ(ini.GetNumValues("menu"), -1) << "section names are case-sensitive";
}

TEST_F(IniFileTest, HeaderNeedsBracketsOnBothEnds) {
  struct Case {
    const char* text;
    const char* section;  // where "k" lands
  } cases[] = {
      {"[[[S]]]\nk=v\n", "S"}, {"[]\nk=v\n", ""},       {"[S\nk=v\n", ""},
      {"S]\nk=v\n", ""},       {"[a=b]\nk=v\n", "a=b"}, {"[ S ]\nk=v\n", " S "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ini.Reset();
    Load(c.text);
    EXPECT_EQ(ini.GetValue(c.section, "k"), "v");
  }
}

TEST_F(IniFileTest, MalformedLinesLoseNothingElse) {
  std::string garbage;
  for (int i = 0; i < 3; ++i) {
    for (int b = 0; b < 256; ++b) {
      if (b != '\n') garbage.push_back(static_cast<char>(b));
    }
  }
  const std::string longValue(5000, 'x');
  std::string text = "[Before]\r\nk=kept\r\n";
  text += "long=" + longValue + "\r\n";
  text += garbage + "\n";
  text += std::string("nul=a\0b", 7) + "\n";
  text += "stray=\xB0\n";  // a double-byte lead byte at the line end
  text += "[After]\r\nk=also kept";
  Load(text);
  EXPECT_EQ(ini.GetValue("Before", "k"), "kept");
  EXPECT_EQ(ini.GetValue("Before", "long"), longValue) << "long lines are read in full";
  EXPECT_EQ(ini.GetValue("Before", "nul"), std::string("a\0b", 3));
  EXPECT_EQ(ini.GetValue("After", "k"), "also kept");
}

TEST_F(IniFileTest, ByteOrderMarkIsSkippedAndUtf8Kept) {
  const std::string korean = "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4";  // Korean word, UTF-8
  Load("\xEF\xBB\xBF[Sec]\r\nname=" + korean + "\r\n");
  EXPECT_EQ(ini.GetValue("Sec", "name"), korean);

  CIniFile plain(dir.File("plain.ini"));
  WriteBytes(plain.GetPath(), "[Sec]\nname=" + korean + "\n");
  ASSERT_TRUE(plain.ReadFile());
  EXPECT_EQ(plain.GetValue("Sec", "name"), korean);
}

TEST_F(IniFileTest, MissingFileFailsAndKeepsTheErrorText) {
  ini.GetValue("nowhere", "x");
  ASSERT_EQ(ini.GetError(), "Unable to locate specified key.");
  ini.SetPath(dir.File("absent.ini"));
  EXPECT_FALSE(ini.ReadFile());
  EXPECT_EQ(ini.GetError(), "Unable to locate specified key.");

  ini.SetPath(dir.path().u8string());  // exists, but is a folder
  EXPECT_FALSE(ini.ReadFile());
  EXPECT_EQ(ini.GetError(), "Unable to open ini file.");
}

TEST_F(IniFileTest, SecondReadMergesLaterValuesWinning) {
  Load("[S]\na=1\nb=2\n");
  const std::string second = dir.File("second.ini");
  WriteBytes(second, "[S]\nb=20\nc=30\n");
  ini.SetPath(second);
  ASSERT_TRUE(ini.ReadFile());
  EXPECT_EQ(ini.GetValue("S", "a"), "1");
  EXPECT_EQ(ini.GetValue("S", "b"), "20");
  EXPECT_EQ(ini.GetValue("S", "c"), "30");

  ini.Reset();
  EXPECT_EQ(ini.GetNumKeys(), 0);
  EXPECT_EQ(ini.GetPath(), second);
}

TEST_F(IniFileTest, LookupErrorsNameWhatIsMissing) {
  Load("[S]\na=1\n");
  EXPECT_EQ(ini.GetValue("T", "a"), "");
  EXPECT_EQ(ini.GetError(), "Unable to locate specified key.");
  EXPECT_EQ(ini.GetValue("S", "b"), "");
  EXPECT_EQ(ini.GetError(), "Unable to locate specified value.");
  EXPECT_EQ(ini.GetValue("S", "a"), "1");
  EXPECT_EQ(ini.GetError(), "Unable to locate specified value.") << "the error is never cleared";
}

TEST_F(IniFileTest, NumbersConvertLikeTheCRuntime) {
  Load("[N]\nplain=42\nlead=  -7 apples\nnone=abc\nbig=99999999999\nsmall=-99999999999\nf=1.5e3\n");
  EXPECT_EQ(ini.GetValueI("N", "plain"), 42);
  EXPECT_EQ(ini.GetValueI("N", "lead"), -7);
  EXPECT_EQ(ini.GetValueI("N", "none"), 0);
  EXPECT_EQ(ini.GetValueI("N", "big"), INT_MAX);
  EXPECT_EQ(ini.GetValueI("N", "small"), INT_MIN);
  EXPECT_EQ(ini.GetValueI("N", "missing"), 0);
  EXPECT_DOUBLE_EQ(ini.GetValueF("N", "f"), 1500.0);
}

TEST_F(IniFileTest, ResourceStringsStandInForMissingEmptyOrZero) {
  CStringTable table;
  table.Set(101, "Built-in text");
  table.Set(102, "42");
  table.Set(103, "2.5");
  SetStringSource(&table);
  Load("[S]\ntext=From file\nblank=\nzero=0\nseven=7\nfzero=0.0\n");

  struct Case {
    const char* name;
    const char* expected;
  } texts[] = {{"text", "From file"}, {"blank", "Built-in text"}, {"missing", "Built-in text"}};
  for (const Case& c : texts) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ini.GetValue("S", c.name, 101), c.expected);
  }
  EXPECT_EQ(ini.GetValue("S", "missing", 999), "") << "an id without a string gives the empty text";
  EXPECT_EQ(ini.GetValueI("S", "zero", 102), 42);
  EXPECT_EQ(ini.GetValueI("S", "seven", 102), 7);
  EXPECT_DOUBLE_EQ(ini.GetValueF("S", "fzero", 103), 2.5);
  EXPECT_DOUBLE_EQ(ini.GetValueF("S", "missing", 103), 2.5);

  SetStringSource(nullptr);
}

TEST_F(IniFileTest, SetValueCreatesOnlyWhenAsked) {
  EXPECT_FALSE(ini.SetValue("S", "a", "1", false));
  EXPECT_EQ(ini.GetNumKeys(), 0);
  EXPECT_TRUE(ini.SetValue("S", "a", "1"));
  EXPECT_FALSE(ini.SetValue("S", "b", "2", false));
  EXPECT_EQ(ini.GetNumValues("S"), 1);
  EXPECT_TRUE(ini.SetValue("S", "a", "changed", false));
  EXPECT_EQ(ini.GetValue("S", "a"), "changed");

  EXPECT_TRUE(ini.SetValueI("S", "i", -12));
  EXPECT_EQ(ini.GetValue("S", "i"), "-12");
  EXPECT_TRUE(ini.SetValueF("S", "f", 3.25));
  EXPECT_EQ(ini.GetValue("S", "f").rfind("3.250000e", 0), 0u) << ini.GetValue("S", "f");
  EXPECT_DOUBLE_EQ(ini.GetValueF("S", "f"), 3.25);
}

TEST_F(IniFileTest, DeletingKeepsTheRestFindable) {
  for (const char* section : {"A", "B", "C"}) {
    for (const char* name : {"x", "y", "z"}) ini.SetValue(section, name, std::string(section) + name);
  }
  EXPECT_FALSE(ini.DeleteValue("A", "missing"));
  EXPECT_FALSE(ini.DeleteValue("missing", "x"));
  EXPECT_FALSE(ini.DeleteKey("missing"));

  EXPECT_TRUE(ini.DeleteValue("A", "x"));
  EXPECT_EQ(ini.GetNumValues("A"), 2);
  EXPECT_EQ(ini.GetValue("A", "x"), "");
  EXPECT_EQ(ini.GetValue("A", "z"), "Az");

  EXPECT_TRUE(ini.DeleteKey("A"));
  EXPECT_EQ(ini.GetNumKeys(), 2);
  EXPECT_EQ(ini.GetNumValues("A"), -1);
  EXPECT_EQ(ini.GetValue("C", "y"), "Cy");
  EXPECT_TRUE(ini.SetValue("C", "y", "again", false));
  EXPECT_EQ(ini.GetValue("C", "y"), "again");
  EXPECT_TRUE(ini.SetValue("A", "x", "back"));  // re-added at the end
  EXPECT_EQ(ini.GetNumKeys(), 3);
}

TEST_F(IniFileTest, WriteFileWritesSectionsWithValuesInOrder) {
  ini.SetPath(path);
  WriteBytes(path, std::string(10000, '#'));  // the old, longer contents must go entirely
  ini.SetValue("First", "a", "1");
  ini.SetValue("Empty", "gone", "x");
  ini.DeleteValue("Empty", "gone");
  ini.SetValue("Second", "b", " spaced ");
  ini.SetValue("First", "c", "");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path), "[First]\r\na=1\r\nc=\r\n\r\n[Second]\r\nb= spaced \r\n\r\n");
}

TEST_F(IniFileTest, WrittenFileReadsBackTheSameModel) {
  const std::string korean = "\xED\x95\x9C\xEA\xB8\x80";
  ini.SetPath(path);
  ini.SetValue("", "top", "t");
  ini.SetValue("Texts", "\xEF\xBB\xBFodd", korean);
  ini.SetValue("Texts", "cr", "a\rb");
  ASSERT_TRUE(ini.WriteFile());
  EXPECT_EQ(ReadBytes(path).rfind("\xEF\xBB\xBF", 0), 0u) << "non-ASCII text is marked as UTF-8";

  CIniFile again(path);
  ASSERT_TRUE(again.ReadFile());
  EXPECT_EQ(again.GetValue("", "top"), "t");
  EXPECT_EQ(again.GetValue("Texts", "\xEF\xBB\xBFodd"), korean);
  EXPECT_EQ(again.GetValue("Texts", "cr"), "a\rb");
}

TEST_F(IniFileTest, FailedWriteLeavesTheTargetAndNoTemporary) {
  const std::string blocked = dir.File("blocked.ini");
  std::filesystem::create_directory(std::filesystem::u8path(blocked));
  WriteBytes(dir.File("blocked.ini/keep.txt"), "inside");
  ini.SetPath(blocked);
  ini.SetValue("S", "a", "1");
  EXPECT_FALSE(ini.WriteFile());
  EXPECT_EQ(ini.GetError(), "Unable to write ini file.");
  EXPECT_EQ(ReadBytes(dir.File("blocked.ini/keep.txt")), "inside");

  ini.SetPath(dir.File("no-such-folder/x.ini"));
  EXPECT_FALSE(ini.WriteFile());

  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
    EXPECT_EQ(entry.path().filename().u8string(), "blocked.ini");
  }
  EXPECT_EQ(entries, 1);
}

}  // namespace
