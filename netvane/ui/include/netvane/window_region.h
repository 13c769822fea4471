// A window's outline from a bitmap: every run of non-transparent pixels in a row becomes one
// rectangle one pixel high.  The Win32 side builds the region from these rectangles.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct RegionColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

struct RegionRect {
  int left, top, right, bottom;  // right and bottom exclusive
  bool operator==(const RegionRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// `pixels`: 32 bits per pixel, bytes blue, green, red, unused; rows from the top of the image,
// `stride` bytes apart.  A pixel is transparent when each of its channels lies in
// [transparent, transparent + tolerance] (capped at 255).  Rectangles come row by row from the
// top, left to right.
std::vector<RegionRect> RegionRectsFromPixels(const std::uint8_t* pixels, int width, int height,
                                              std::size_t stride, RegionColor transparent,
                                              RegionColor tolerance);
