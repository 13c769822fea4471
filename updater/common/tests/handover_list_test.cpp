#include "updater/handover_list.h"

#include <gtest/gtest.h>

namespace nv::updater {
namespace {

TEST(HandOverList, WrittenListReadsBackWithFlagsUpperCased) {
  const std::vector<HandOverEntry> written = {
      {"Netvane.exe", "C:\\Netvane\\Netvane.exe", "Restart"},
      {"NvSVC.exe", "C:\\Netvane\\NvSVC.exe", "SVC:NvMGR"},
      {"a.dll", "C:\\WINDOWS\\system32\\a.dll", ""},
  };
  const std::string text = FormatHandOverList(written);
  EXPECT_EQ(text.substr(0, 44), "Netvane.exe|C:\\Netvane\\Netvane.exe|Restart\r\n");
  const HandOverList read = ParseHandOverList(text, PathStyle::kWindows);
  ASSERT_EQ(read.entries.size(), 3u);
  EXPECT_EQ(read.entries[0].flags, "RESTART");
  EXPECT_EQ(read.entries[1].targetPath, "C:\\Netvane\\NvSVC.exe");
  EXPECT_EQ(read.entries[2].flags, "");
  EXPECT_TRUE(read.rejected.empty());
}

TEST(HandOverList, LinesThatReachOutsideAreRefused) {
  const std::string text =
      "# comment\r\n"
      "\r\n"
      "  ok.exe | C:\\Netvane\\ok.exe | shutdown  \r\n"
      "..\\..\\x.exe|C:\\Netvane\\x.exe|\r\n"
      "x.exe|relative\\x.exe|\r\n"
      "x.exe|C:\\Netvane\\..\\..\\x.exe|\r\n"
      "x.exe\r\n"
      "sub/x.exe|C:\\Netvane\\x.exe|\r\n";
  const HandOverList read = ParseHandOverList(text, PathStyle::kWindows);
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].fileName, "ok.exe");
  EXPECT_EQ(read.entries[0].flags, "SHUTDOWN");
  EXPECT_EQ(read.rejected.size(), 5u);
}

TEST(HandOverList, AtMostFiftyEntries) {
  std::string text;
  for (int i = 0; i < 60; ++i) text += "f" + std::to_string(i) + "|/opt/f" + std::to_string(i) + "|\n";
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
