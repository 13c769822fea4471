#include "netvane/window_region.h"

#include <algorithm>

namespace {

struct Range {
  int low, high;
  bool contains(int v) const { return v >= low && v <= high; }
};

Range RangeOf(std::uint8_t value, std::uint8_t tolerance) {
  return {value, std::min(255, value + tolerance)};
}

}  // namespace

std::vector<RegionRect> RegionRectsFromPixels(const std::uint8_t* pixels, int width, int height,
                                              std::size_t stride, RegionColor transparent,
                                              RegionColor tolerance) {
  std::vector<RegionRect> rects;
  if (pixels == nullptr || width <= 0 || height <= 0) return rects;
  const Range red = RangeOf(transparent.red, tolerance.red);
  const Range green = RangeOf(transparent.green, tolerance.green);
  const Range blue = RangeOf(transparent.blue, tolerance.blue);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
    auto isTransparent = [&](int x) {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
      return blue.contains(p[0]) && green.contains(p[1]) && red.contains(p[2]);
    };
    for (int x = 0; x < width; ++x) {
      if (isTransparent(x)) continue;
      const int x0 = x;
      while (x < width && !isTransparent(x)) ++x;
      rects.push_back({x0, y, x, y + 1});
    }
  }
  return rects;
}
