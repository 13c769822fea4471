// The shipped string files hold every text the programs read, in both languages.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <utility>

#include "corekit/ini_file.h"
#include "netvane/string_keys.h"
#include "platform/testing/child_process.h"
#include "platform/text.h"

namespace {

using KeySet = std::set<std::pair<std::string, std::string>>;

// The string files are copied beside the test programs, as they ship beside the programs.
std::string StringFile(const char* language) {
  const std::string self = nv::testing::SelfPath();
  return self.substr(0, self.find_last_of("/\\") + 1) + "Netvane" + language + ".ini";
}

// The file's own section and key names, as its lines give them.
KeySet KeysInFile(const std::string& path) {
  KeySet keys;
  std::ifstream in(path, std::ios::binary);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
    } else if (const auto eq = line.find('='); eq != std::string::npos) {
      keys.emplace(section, line.substr(0, eq));
    }
  }
  return keys;
}

KeySet KeysTheProgramsRead(const std::string& path) {
  KeySet keys;
  for (const auto& k : nv::strings::kTrayProgramKeys) keys.emplace(k.section, k.key);
  for (const auto& k : nv::strings::kUpdateClientKeys) keys.emplace(k.section, k.key);
  CIniFile ini(path);
  ini.ReadFile();
  const int count = ini.GetValueI(nv::strings::kTmCnt.section, nv::strings::kTmCnt.key);
  for (int i = 0; i < count; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, nv::strings::kTimeKeyFormat, i);
    keys.emplace(nv::strings::kTmCnt.section, name);
  }
  return keys;
}

class StringFiles : public ::testing::TestWithParam<const char*> {
 protected:
  std::string path_ = StringFile(GetParam());
};

}  // namespace

TEST_P(StringFiles, EveryKeyTheProgramsReadHasText) {
  CIniFile ini(path_);
  ASSERT_TRUE(ini.ReadFile()) << path_;
  for (const auto& [section, key] : KeysTheProgramsRead(path_)) {
    SCOPED_TRACE(section + "/" + key);
    const std::string text = ini.GetValue(section, key);
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(nv::text::IsValidUtf8(text));
  }
}

TEST_P(StringFiles, HoldNoKeyThatNoProgramReads) {
  // A key only in the file is usually a misspelling of one the programs look for.
  const KeySet read = KeysTheProgramsRead(path_);
  for (const auto& [section, key] : KeysInFile(path_)) {
    EXPECT_TRUE(read.count({section, key})) << "unused " << section << "/" << key;
  }
}

TEST_P(StringFiles, IdleChoicesAreMinutesAndNetworkNamesFitTenCharacters) {
  CIniFile ini(path_);
  ASSERT_TRUE(ini.ReadFile());
  const int count = ini.GetValueI("ADManage", "nTmCnt");
  EXPECT_GT(count, 0);
  EXPECT_LE(count, 50);
  for (int i = 0; i < count; ++i) EXPECT_GT(ini.GetValueI("ADManage", "nTime" + std::to_string(i)), 0) << i;
  for (const auto& name : nv::strings::kDefaultNetName) {
    EXPECT_LE(nv::text::Utf8ToUtf16(ini.GetValue(name.section, name.key)).size(), 10u) << name.key;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, StringFiles, ::testing::Values("ENG", "KOR"));

TEST(StringKeys, BothLanguagesHoldTheSameKeysAndIdsStayInTheLibrarysRange) {
  EXPECT_EQ(KeysInFile(StringFile("ENG")), KeysInFile(StringFile("KOR")));
  KeySet seen;
  for (const auto& k : nv::strings::kTrayProgramKeys) {
    SCOPED_TRACE(std::string(k.section) + "/" + k.key);
    EXPECT_TRUE(seen.emplace(k.section, k.key).second) << "listed twice";
    EXPECT_LE(k.resourceId, 70u);
  }
}
