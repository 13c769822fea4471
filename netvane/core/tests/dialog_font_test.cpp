// Which face the dialogs and the progress window are drawn in, over a list of installed faces.
#include "netvane/dialog_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(DialogFont, TheStringFilesFaceWhenInstalledElseOneThatShowsTheTexts) {
  using nv::core::ChooseDialogFont;
  struct Case {
    const char* what;
    std::string wanted;
    std::vector<std::string> installed;
    bool hangul;
    std::string face;
  } cases[] = {
      {"English face installed", "Tahoma", {"Arial", "tahoma"}, false, "Tahoma"},
      {"Korean face installed", "굴림", {"굴림", "NanumGothic"}, true, "굴림"},
      {"Korean face missing: a Hangul face",
       "굴림",
       {"@NanumGothic", "NanumGothic", "Nanum Myeongjo"},
       true,
       "NanumGothic"},
      {"Korean face missing, no preferred one: any Hangul face",
       "굴림",
       {"@UnDotum", "UnDotum"},
       true,
       "UnDotum"},
      {"no Hangul face at all: the template's font", "굴림", {}, true, ""},
      {"English face missing", "Verdana", {"Segoe UI", "Tahoma"}, false, "Tahoma"},
      {"nothing known: the template's font", "Verdana", {"Arial"}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto choice = ChooseDialogFont(c.wanted, c.installed, c.hangul);
    EXPECT_EQ(choice.face, c.face);
    EXPECT_EQ(choice.hangul, c.hangul);
  }
  EXPECT_TRUE(nv::core::ContainsHangul("굴림"));
  EXPECT_TRUE(nv::core::ContainsHangul("Save 저장"));
  EXPECT_FALSE(nv::core::ContainsHangul("Tahoma"));
  EXPECT_FALSE(nv::core::ContainsHangul("日本語"));
}

}  // namespace
