#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netvane/window_region.h"

namespace {

// An image from text rows: '.' magenta, 'm' near magenta (250, 5, 250), 'x' black, 'w' white.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // blue, green, red, unused

  explicit Image(const std::vector<std::string>& rows)
      : width(static_cast<int>(rows[0].size())), height(static_cast<int>(rows.size())) {
    for (const auto& row : rows) {
      for (char c : row) {
        std::uint8_t r = 0, g = 0, b = 0;
        if (c == '.') r = 255, g = 0, b = 255;
        if (c == 'm') r = 250, g = 5, b = 250;
        if (c == 'w') r = g = b = 255;
        pixels.insert(pixels.end(), {b, g, r, 0xEE});
      }
    }
  }
  std::vector<RegionRect> Rects(RegionColor tolerance = {}) const {
    return RegionRectsFromPixels(pixels.data(), width, height, static_cast<std::size_t>(width) * 4,
                                 {255, 0, 255}, tolerance);
  }
};

// Paints the rectangles back: '#' inside the region, '.' outside.
std::vector<std::string> Paint(const std::vector<RegionRect>& rects, int width, int height) {
  std::vector<std::string> rows(static_cast<std::size_t>(height),
                                std::string(static_cast<std::size_t>(width), '.'));
  for (const auto& r : rects) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        EXPECT_EQ(rows[y][x], '.') << "rectangles overlap at " << x << "," << y;
        rows[y][x] = '#';
      }
    }
  }
  return rows;
}

}  // namespace

TEST(WindowRegion, PureMagentaWithToleranceZeroExcludesExactlyTheMagentaPixels) {
  // clang-format off
  const Image image({"..xx..w.",
                     "xxxxxxxx",
                     ".mm.....",
                     "w......x"});
  EXPECT_EQ(Paint(image.Rects(), image.width, image.height),
            (std::vector<std::string>{"..##..#.",
                                      "########",
                                      ".##.....",
                                      "#......#"}));
  // clang-format on
}

TEST(WindowRegion, EachRunOfARowIsOneRectangleInRowOrder) {
  const Image image({"x.xx.", "....."});
  EXPECT_EQ(image.Rects(), (std::vector<RegionRect>{{0, 0, 1, 1}, {2, 0, 4, 1}}));
}

TEST(WindowRegion, ToleranceWidensTheTransparentRangeUpwardsCappedAt255) {
  const Image image({"mm.x"});
  // Near magenta (250, 5, 250) stays opaque: the green tolerance covers its 5, but the red and
  // blue ranges start at 255 and only go up.
  EXPECT_EQ(Paint(image.Rects({0, 5, 0}), image.width, 1), (std::vector<std::string>{"##.#"}));
  // Blue, green, red, unused: the first two lie within green and blue tolerance 4, the third's
  // blue 9 is below the range.
  const std::vector<std::uint8_t> dark = {10, 10, 10, 0, 14, 12, 10, 0, 9, 10, 10, 0};
  EXPECT_EQ(RegionRectsFromPixels(dark.data(), 3, 1, 12, {10, 10, 10}, {0, 4, 4}),
            (std::vector<RegionRect>{{2, 0, 3, 1}}));
  const std::vector<std::uint8_t> white = {255, 255, 255, 0};
  EXPECT_TRUE(RegionRectsFromPixels(white.data(), 1, 1, 4, {250, 250, 250}, {200, 200, 200}).empty());
}

TEST(WindowRegion, StrideLongerThanTheRowIsHonouredAndEmptyImagesGiveNothing) {
  std::vector<std::uint8_t> padded(2 * 16, 0xFF);  // two rows of 2 pixels, 16-byte stride, padding white
  for (int y = 0; y < 2; ++y) {
    std::uint8_t* row = padded.data() + y * 16;
    const std::uint8_t magenta[] = {255, 0, 255, 0};
    std::copy(magenta, magenta + 4, row);  // left pixel transparent
    std::fill(row + 4, row + 8, 0);        // right pixel black
  }
  EXPECT_EQ(RegionRectsFromPixels(padded.data(), 2, 2, 16, {255, 0, 255}, {}),
            (std::vector<RegionRect>{{1, 0, 2, 1}, {1, 1, 2, 2}}));
  EXPECT_TRUE(RegionRectsFromPixels(nullptr, 4, 4, 16, {}, {}).empty());
  EXPECT_TRUE(RegionRectsFromPixels(padded.data(), 0, 2, 16, {}, {}).empty());
}
