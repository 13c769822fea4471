#include <gtest/gtest.h>

#include <filesystem>

#include "corekit/os_version.h"

namespace {

TEST(OsVersion, ClassificationTable) {
  struct Case {
    uint32_t platform, major, minor;
    const char* name;
  } cases[] = {
      {0, 3, 11, "WIN31"},   {1, 4, 0, "WIN95"},
      {1, 4, 10, "WIN98"},  // 98 SE too
      {1, 4, 90, "WINME"},   {1, 4, 3, ""},
      {2, 3, 51, ""},        {2, 4, 0, "WINNT"},
      {2, 5, 0, "WIN2000S"}, {2, 5, 1, "WINXP"},
      {2, 5, 2, "WIN2000S"},  // Server 2003
      {2, 6, 0, "VISTA"},    {2, 6, 3, "VISTA"},
      {2, 10, 0, ""},        {3, 5, 0, "UNKNOWN(DWMAJOR=5, MINOR=0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platform << " " << c.major << "." << c.minor);
    EXPECT_EQ(ClassifyWindowsVersion(c.platform, c.major, c.minor), c.name);
  }
}

TEST(OsVersion, VersionsAfterWindows8ReadAsWindows8) {
  struct Case {
    uint32_t platform, major, minor, build;
    uint32_t readMajor, readMinor, readBuild;
    const char* name;
  } cases[] = {
      {2, 10, 0, 22631, 6, 2, 9200, "VISTA"},  // Windows 11
      {2, 10, 0, 19045, 6, 2, 9200, "VISTA"},  // Windows 10
      {2, 6, 3, 9600, 6, 2, 9200, "VISTA"},    // Windows 8.1
      {2, 6, 2, 9200, 6, 2, 9200, "VISTA"},    // Windows 8
      {2, 6, 1, 7601, 6, 1, 7601, "VISTA"},    // Windows 7 as it is
      {2, 5, 1, 2600, 5, 1, 2600, "WINXP"},   {1, 4, 10, 2222, 4, 10, 2222, "WIN98"},
      {1, 7, 0, 1, 7, 0, 1, "WIN95"},  // only the NT family is read down
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platform << " " << c.major << "." << c.minor << "." << c.build);
    OsVersionRecord record;
    record.dwPlatformId = c.platform;
    record.dwMajorVersion = c.major;
    record.dwMinorVersion = c.minor;
    record.dwBuildNumber = c.build;
    record.szCSDVersion = "Service Pack 1";
    const OsVersionRecord read = ReportedWithoutManifest(record);
    EXPECT_EQ(read.dwMajorVersion, c.readMajor);
    EXPECT_EQ(read.dwMinorVersion, c.readMinor);
    EXPECT_EQ(read.dwBuildNumber, c.readBuild);
    EXPECT_EQ(read.dwPlatformId, c.platform);
    EXPECT_EQ(read.szCSDVersion, "Service Pack 1");
    EXPECT_EQ(ClassifyWindowsVersion(read.dwPlatformId, read.dwMajorVersion, read.dwMinorVersion), c.name);
  }
}

TEST(OsVersion, LanguageSettingIsCutToThreeUpperCaseCharacters) {
  struct Case {
    const char* setting;
    const char* code;
  } cases[] = {{"enus", "ENU"}, {"kor", "KOR"}, {"ko", "KO"},
               {"", ""},        {"???", "???"}, {"\xC3\xA9tat", "\xC3\xA9TA"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(NormalizeLanguageCode(c.setting), c.code);
  }
}

TEST(OsVersion, LocaleNamesMapToWindowsAbbreviations) {
  struct Case {
    const char* locale;
    const char* code;
  } cases[] = {{"ko_KR.UTF-8", "KOR"}, {"en_US.UTF-8", "ENU"}, {"en_GB", "ENG"}, {"zh_TW.Big5", "CHT"},
               {"de_DE@euro", "DEU"},  {"C", "ENG"},           {"", "ENG"},      {"xx_YY", "ENG"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    EXPECT_EQ(LanguageCodeFromLocale(c.locale), c.code);
  }
}

TEST(OsVersion, RunningSystemIsClassifiedFromItsRecord) {
  const COSversion os;
  const OsVersionRecord& v = os.m_osvi;
  EXPECT_EQ(os.m_name, ClassifyWindowsVersion(v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion));
  EXPECT_EQ(os.isNT(), v.dwPlatformId == kPlatformNT);
  EXPECT_EQ(os.isNT5(), v.dwMajorVersion >= 5);
  EXPECT_GT(v.dwMajorVersion, 0u) << "the version query answered";
  if (os.isNT()) {
    EXPECT_LE(v.dwMajorVersion * 100 + v.dwMinorVersion, 602u) << "read as a program without a manifest does";
  }
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(os.m_systemDir))) << os.m_systemDir;
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(os.m_windowsDir))) << os.m_windowsDir;
  ASSERT_EQ(os.m_language.size(), 3u) << os.m_language;
  for (const char ch : os.m_language) EXPECT_TRUE(ch >= 'A' && ch <= 'Z') << os.m_language;
}

}  // namespace
