#include "update_texts.h"

#include <gtest/gtest.h>

#include "corekit/ini_file.h"

namespace nv::updater {
namespace {

TEST(UpdateTexts, BothStringFilesHoldEveryTextAndLineBreaksAreKept) {
  for (const char* language : {"ENG", "KOR"}) {
    SCOPED_TRACE(language);
    CIniFile ini(std::string(NV_STRINGS_DIR) + "/Netvane" + language + ".ini");
    ASSERT_TRUE(ini.ReadFile());
    for (const auto& key : UpdateTextKeys()) EXPECT_FALSE(ini.GetValue("Updagent", key).empty()) << key;
    const UpdateTexts texts = LoadUpdateTexts(ini);
    EXPECT_NE(texts.askRetry.find('\n'), std::string::npos);
    EXPECT_EQ(texts.askRetry.find("\\n"), std::string::npos);
    if (std::string(language) == "KOR") {
      EXPECT_NE(texts.badSignature, UpdateTexts().badSignature);
    }
  }
}

}  // namespace
}  // namespace nv::updater
