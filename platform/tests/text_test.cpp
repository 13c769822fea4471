#include <gtest/gtest.h>

#include "platform/text.h"

using namespace nv::text;

TEST(Text, Utf8RoundTripsThroughUtf16IncludingSurrogatePairs) {
  const std::string s = "A\xC3\xA9\xED\x95\x9C\xF0\x9F\x98\x80";  // A, e-acute, Hangul, emoji
  const std::u16string w = Utf8ToUtf16(s);
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[3], 0xD83D);
  EXPECT_EQ(Utf16ToUtf8(w), s);
}

TEST(Text, MalformedUtf8IsDetectedAndReplacedNotDropped) {
  struct Case {
    const char* bytes;
    bool valid;
  } cases[] = {{"plain", true},
               {"\xC3", false},
               {"\xC0\xAF", false},
               {"\xED\xA0\x80", false},
               {"\xF4\x90\x80\x80", false},
               {"\xEA\xB0\x80", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
  }
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            (std::u16string{u'a', 0xFFFD, u'b'}));
}

TEST(Text, CaseFoldingTouchesAsciiOnly) {
  EXPECT_TRUE(EqualsNoCase("Software\\Tarn", "SOFTWARE\\tarn"));
  EXPECT_FALSE(EqualsNoCase("abc", "abd"));
  EXPECT_EQ(ToUpperAscii("on \xC3\xA9"), "ON \xC3\xA9");
}

TEST(Text, HexRoundTripsAndRefusesWhatIsNotTwoDigitsPerByte) {
  const std::string bytes("\x00\x7f\x80\xff\xea\xb0\x80", 7);
  EXPECT_EQ(HexText(bytes), "007f80ffeab080");
  EXPECT_EQ(BytesFromHex("007F80FFeab080"), bytes);
  EXPECT_EQ(BytesFromHex(""), "");
  for (const char* bad : {"0", "0g", "00 ", " 00", "0x00"}) EXPECT_FALSE(BytesFromHex(bad)) << bad;
}
