#include <gtest/gtest.h>

#include "corekit/os_version.h"
#include "support/test_support.h"

namespace {

// Natively the object stands for an NT-family system, so callers take their NT paths.
TEST(OsVersionPosix, ReportsNtFamilyAndTheMessagesLanguage) {
  corekit_test::SetEnv("LC_ALL", nullptr);
  corekit_test::SetEnv("LC_MESSAGES", nullptr);
  corekit_test::SetEnv("LANG", "ko_KR.UTF-8");
  const COSversion korean;
  EXPECT_EQ(korean.m_name, "VISTA");
  EXPECT_TRUE(korean.isNT());
  EXPECT_TRUE(korean.isNT5());
  EXPECT_EQ(korean.m_language, "KOR");

  corekit_test::SetEnv("LC_ALL", "C");
  EXPECT_EQ(COSversion().m_language, "ENG") << "LC_ALL wins over LANG";
  corekit_test::SetEnv("LC_ALL", nullptr);
  corekit_test::SetEnv("LANG", nullptr);
  EXPECT_EQ(COSversion().m_language, "ENG");
}

TEST(OsVersionPosix, SystemExitIsRefused) { EXPECT_EQ(COSversion().SystemExit(true), 0); }

}  // namespace
