#include <gtest/gtest.h>

#include "corekit/dll_version.h"
#include "support/test_support.h"

namespace {

TEST(DllVersionText, FirstThreeNumbersAfterDotsElseCommas) {
  const struct {
    const char* text;
    bool valid;
    uint32_t major, minor, build;
  } cases[] = {
      {"1, 2, 3, 4", true, 1, 2, 3},
      {"1.2.3.4", true, 1, 2, 3},
      {"1.2.3", true, 1, 2, 3},
      {"5,0,2195,6601", true, 5, 0, 2195},
      {"  10 . 20 . 30", true, 10, 20, 30},
      {"4294967295.0.1", true, 4294967295u, 0, 1},
      {"1.2", false, 0, 0, 0},  // two parts either way
      {"1, 2", false, 0, 0, 0},
      {"", false, 0, 0, 0},
      {"1.2.x.4", false, 0, 0, 0},  // a part that is no number
      {"1..3", false, 0, 0, 0},
      {"4294967296.0.0", false, 0, 0, 0},  // does not fit 32 bits
      {"-1.2.3", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const VersionNumbers v = ParseVersionText(c.text);
    EXPECT_EQ(v.valid, c.valid);
    EXPECT_EQ(v.major, c.major);
    EXPECT_EQ(v.minor, c.minor);
    EXPECT_EQ(v.build, c.build);
  }
}

TEST(DllVersionLookup, FourNamesInOrderAndTheTranslationsSubBlock) {
  EXPECT_EQ(VersionFileCandidates("C:\\Windows", "C:\\Windows\\system32", "D:\\Work", "Corekit.dll"),
            (std::vector<std::string>{"C:\\Windows\\Corekit.dll", "C:\\Windows\\system32\\Corekit.dll",
                                      "D:\\Work\\Corekit.dll", "Corekit.dll"}));
  // Language 0x0412, code page 0x04B0, as the resource stores the two words (little-endian).
  EXPECT_EQ(FileVersionSubBlock({0x12, 0x04, 0xB0, 0x04}, 0x0409), "\\StringFileInfo\\041204B0\\FileVersion");
  EXPECT_EQ(FileVersionSubBlock({}, 0x0409), "\\StringFileInfo\\040904B0\\FileVersion");
  EXPECT_EQ(FileVersionSubBlock({0x12, 0x04, 0xB0, 0x04, 0x09, 0x04, 0xE4, 0x04}, 0x0412),
            "\\StringFileInfo\\041204B0\\FileVersion");
}

TEST(DllVersionFile, MissingFileIsInvalidZero) {
  const CDLLVersion version("no-such-library-1234.dll");
  EXPECT_FALSE(version.IsValid());
  EXPECT_EQ(version.GetMajorVersion(), 0u);
  EXPECT_EQ(version.GetMinorVersion(), 0u);
  EXPECT_EQ(version.GetBuildNumber(), 0u);
  EXPECT_EQ(version.GetFullVersion(), "");
}

}  // namespace
