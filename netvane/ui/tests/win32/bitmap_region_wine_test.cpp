// Window regions from real bitmaps.
#include <gtest/gtest.h>

#include <functional>

#include "netvane/win32/bitmap_region.h"
#include "platform/testing/screenshot.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A 32-bit DIB section painted by `opaque(x, y)`: black where true, magenta elsewhere.
HBITMAP MakeBitmap(int width, int height, const std::function<bool(int, int)>& opaque) {
  const nv::testing::DibSection dib = nv::testing::MakeDibSection(0, width, height);
  if (dib.pixels == nullptr) return nullptr;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) dib.pixels[y * width + x] = opaque(x, y) ? 0x000000 : 0xFF00FF;
  }
  return reinterpret_cast<HBITMAP>(dib.bitmap);
}

}  // namespace

TEST(BitmapRegion, RegionHoldsExactlyTheNonMagentaPixelsAlsoPastOneBatch) {
  // A one-pixel checkerboard: 50 runs a row, 3000 rectangles, more than one batch of 2000.
  constexpr int kWidth = 100, kHeight = 60;
  auto opaque = [](int x, int y) { return (x + y) % 2 == 0; };
  HBITMAP bitmap = MakeBitmap(kWidth, kHeight, opaque);
  ASSERT_NE(bitmap, nullptr);
  HRGN region = RegionFromBitmap(bitmap, kMagenta, RGB(0, 0, 0));
  ASSERT_NE(region, nullptr);
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) wrong += (::PtInRegion(region, x, y) != FALSE) != opaque(x, y);
  }
  EXPECT_EQ(wrong, 0);
  ::DeleteObject(region);
  ::DeleteObject(bitmap);
}

TEST(BitmapRegion, WindowTakesTheRegionAndAnUnreadableBitmapLeavesItRectangular) {
  HWND window =
      ::CreateWindowW(L"STATIC", L"skin", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(SetWindowRegionFromBitmap(window, nullptr, kMagenta, 0));
  HRGN current = ::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(::GetWindowRgn(window, current), ERROR);  // no region: still a rectangle

  HBITMAP circle =
      MakeBitmap(40, 40, [](int x, int y) { return (x - 20) * (x - 20) + (y - 20) * (y - 20) < 400; });
  ASSERT_TRUE(SetWindowRegionFromBitmap(window, circle, kMagenta, 0));
  ASSERT_NE(::GetWindowRgn(window, current), ERROR);
  EXPECT_TRUE(::PtInRegion(current, 20, 20));
  EXPECT_FALSE(::PtInRegion(current, 1, 1));
  ::DeleteObject(current);
  ::DeleteObject(circle);
  ::DestroyWindow(window);
}
