#include <gtest/gtest.h>

#include <functional>

#include "platform/testing/image_checks.h"

namespace nv::testing {
namespace {

RgbImage Filled(int w, int h, Rgb c) {
  RgbImage image;
  image.width = w;
  image.height = h;
  for (int i = 0; i < w * h; ++i) image.pixels.insert(image.pixels.end(), {c.r, c.g, c.b});
  return image;
}

void Paint(RgbImage& image, const PixelRect& r, Rgb c) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const size_t i = (static_cast<size_t>(y) * image.width + x) * 3;
      image.pixels[i] = c.r, image.pixels[i + 1] = c.g, image.pixels[i + 2] = c.b;
    }
}

const Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0}, kFace{0x9C, 0xA3, 0xAF}, kGreyInk{0xA0, 0xA0, 0xA0};

TEST(ImageChecks, ContrastFollowsTheAccessibilityFormula) {
  EXPECT_NEAR(ContrastRatio(kWhite, kBlack), 21.0, 0.01);
  EXPECT_NEAR(ContrastRatio(kFace, kFace), 1.0, 0.001);
  EXPECT_LT(ContrastRatio(kGreyInk, kFace), 1.1);  // the unreadable disabled caption
  EXPECT_NEAR(ContrastRatio(Rgb{0x76, 0x76, 0x76}, kWhite), 4.54, 0.01);
}

TEST(ImageChecks, EachCheckPassesAGoodPictureAndNamesTheFlawOfABadOne) {
  struct Case {
    const char* what;
    std::function<void(RgbImage&)> draw;
    std::function<std::string(const RgbImage&)> check;
    bool passes;
  } cases[] = {
      {"a painted window",
       [](RgbImage& i) {
         Paint(i, {10, 10, 60, 30}, kBlack);
       },
       NearlyOneColour, true},
      {"a blank window", [](RgbImage&) {}, NearlyOneColour, false},
      {"black caption on the face",
       [](RgbImage& i) {
         Paint(i, {20, 15, 40, 20}, kBlack);
       },
       [](const RgbImage& i) {
         return CaptionContrast(i, {10, 10, 60, 30});
       },
       true},
      {"grey caption on the grey face",
       [](RgbImage& i) {
         Paint(i, {10, 10, 60, 30}, kFace);
         Paint(i, {20, 15, 40, 20}, kGreyInk);
       },
       [](const RgbImage& i) {
         return CaptionContrast(i, {10, 10, 60, 30});
       },
       false},
      {"no caption at all", [](RgbImage&) {},
       [](const RgbImage& i) {
         return CaptionContrast(i, {10, 10, 60, 30});
       },
       false},
      {"a whole button face",
       [](RgbImage& i) {
         Paint(i, {10, 10, 60, 30}, kFace);
       },
       [](const RgbImage& i) {
         return BackgroundBand(i, {10, 10, 60, 30});
       },
       true},
      {"a band of background across the face",
       [](RgbImage& i) {
         Paint(i, {10, 10, 60, 30}, kFace);
         Paint(i, {10, 22, 60, 24}, kWhite);
       },
       [](const RgbImage& i) {
         return BackgroundBand(i, {10, 10, 60, 30});
       },
       false},
      {"a clean edge",
       [](RgbImage& i) {
         Paint(i, {0, 0, 5, 5}, kFace);
       },
       [](const RgbImage& i) {
         return MagentaFringe(i, {0, 0, 80, 40});
       },
       true},
      {"a magenta halo",
       [](RgbImage& i) {
         Paint(i, {3, 3, 4, 4}, Rgb{200, 60, 190});
       },
       [](const RgbImage& i) {
         return MagentaFringe(i, {0, 0, 80, 40});
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RgbImage image = Filled(80, 40, kWhite);
    c.draw(image);
    const std::string problem = c.check(image);
    EXPECT_EQ(problem.empty(), c.passes) << problem;
  }
}

TEST(ImageChecks, DifferingShareAndRawPictures) {
  RgbImage a = Filled(10, 10, kWhite), b = Filled(10, 10, kWhite);
  EXPECT_EQ(DifferingShare(a, b), 0.0);
  Paint(b, {0, 0, 10, 3}, kBlack);
  EXPECT_NEAR(DifferingShare(a, b), 0.3, 1e-9);
  EXPECT_EQ(DifferingShare(a, Filled(9, 10, kWhite)), 1.0);

  const RgbImage raw = ImageFromRawRgb(std::string("\x01\x02\x03\x04\x05\x06", 6), 2, 1);
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(raw.At(1, 0), (Rgb{4, 5, 6}));
  EXPECT_TRUE(ImageFromRawRgb("abc", 2, 1).empty()) << "a short file gives no picture";
}

}  // namespace
}  // namespace nv::testing
