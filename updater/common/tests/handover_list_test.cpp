#include "updater/handover_list.h"

#include <gtest/gtest.h>

namespace nv::updater {
namespace {

const std::string kHash(64, 'a');
const std::string kHashUpper(64, 'A');

TEST(HandOverList, WrittenListReadsBackWithFlagsUpperCased) {
  const std::vector<HandOverEntry> written = {
      {"Netvane.exe", "C:\\Netvane\\Netvane.exe", "Restart", kHash},
      {"NvSVC.exe", "C:\\Netvane\\NvSVC.exe", "SVC:NvMGR", kHashUpper},
      {"a.dll", "C:\\WINDOWS\\system32\\a.dll", "", kHash},
  };
  const std::string text = FormatHandOverList(written);
  EXPECT_EQ(text.substr(0, 109), "Netvane.exe|C:\\Netvane\\Netvane.exe|Restart|" + kHash + "\r\n");
  const HandOverList read = ParseHandOverList(text, PathStyle::kWindows);
  ASSERT_EQ(read.entries.size(), 3u);
  EXPECT_EQ(read.entries[0].flags, "RESTART");
  EXPECT_EQ(read.entries[1].targetPath, "C:\\Netvane\\NvSVC.exe");
  EXPECT_EQ(read.entries[2].flags, "");
  EXPECT_EQ(read.entries[1].sha256, kHash);
  EXPECT_TRUE(read.rejected.empty());
}

TEST(HandOverList, LinesThatReachOutsideAreRefused) {
  const std::string text =
      "# comment\r\n"
      "\r\n"
      "  ok.exe | C:\\Netvane\\ok.exe | shutdown  |" +
      kHash +
      "\r\n"
      "..\\..\\x.exe|C:\\Netvane\\x.exe||" +
      kHash +
      "\r\n"
      "x.exe|relative\\x.exe||" +
      kHash +
      "\r\n"
      "x.exe|C:\\Netvane\\..\\..\\x.exe||" +
      kHash +
      "\r\n"
      "x.exe\r\n"
      "sub/x.exe|C:\\Netvane\\x.exe||" +
      kHash +
      "\r\n"
      "y.exe|C:\\Netvane\\y.exe|\r\n"
      "y.exe|C:\\Netvane\\y.exe||12ab\r\n"
      "OK.EXE |C:\\Netvane\\other.exe||" +
      kHash + "\r\n";
  const HandOverList read = ParseHandOverList(text, PathStyle::kWindows);
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].fileName, "ok.exe");
  EXPECT_EQ(read.entries[0].flags, "SHUTDOWN");
  ASSERT_EQ(read.rejected.size(), 8u);
  EXPECT_NE(read.rejected[5].find("no SHA-256"), std::string::npos) << read.rejected[5];
  EXPECT_NE(read.rejected[7].find("earlier line's staged file"), std::string::npos) << read.rejected[7];
}

TEST(HandOverList, AtMostFiftyEntries) {
  std::string text;
  for (int i = 0; i < 60; ++i)
    text += "f" + std::to_string(i) + "|/opt/f" + std::to_string(i) + "||" + kHash + "\n";
  const HandOverList read = ParseHandOverList(text, PathStyle::kPosix);
  EXPECT_EQ(read.entries.size(), 50u);
  EXPECT_EQ(read.entries.back().fileName, "f49");
}

TEST(HandOverList, ServiceNameEndsAtTheNextWord) {
  EXPECT_EQ(ServiceNameOfFlags("SVC:NVMGR"), "NVMGR");
  EXPECT_EQ(ServiceNameOfFlags("RESTART SVC:NVMGR SHUTDOWN"), "NVMGR");
  EXPECT_EQ(ServiceNameOfFlags("SVC:NVMGR,RESTART"), "NVMGR");
  EXPECT_EQ(ServiceNameOfFlags("RESTART"), "");
}

}  // namespace
}  // namespace nv::updater
