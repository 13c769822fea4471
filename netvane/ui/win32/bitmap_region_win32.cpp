#include <algorithm>
#include <vector>

#include "netvane/win32/bitmap_region.h"
#include "netvane/window_region.h"

namespace {

// Regions are built in batches: one region from this many rectangles, joined to the result.
constexpr std::size_t kRectsPerBatch = 2000;

HRGN RegionFromRects(const RegionRect* rects, std::size_t count) {
  std::vector<std::uint8_t> buffer(sizeof(RGNDATAHEADER) + count * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(count);
  data->rdh.nRgnSize = static_cast<DWORD>(count * sizeof(RECT));
  RECT bounds{rects[0].left, rects[0].top, rects[0].right, rects[0].bottom};
  auto* out = reinterpret_cast<RECT*>(data->Buffer);
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    bounds.left = std::min(bounds.left, out[i].left);
    bounds.top = std::min(bounds.top, out[i].top);
    bounds.right = std::max(bounds.right, out[i].right);
    bounds.bottom = std::max(bounds.bottom, out[i].bottom);
  }
  data->rdh.rcBound = bounds;
  return ::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
}

RegionColor ColorOf(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

}  // namespace

HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF transparent, COLORREF tolerance) {
  BITMAP info{};
  if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 ||
      info.bmHeight <= 0) {
    return nullptr;
  }
  const int width = info.bmWidth;
  const int height = info.bmHeight;
  // A 32-bit top-down copy: blue, green, red, unused per pixel, first row at the top.
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = -height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  header.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  HDC dc = ::CreateCompatibleDC(nullptr);
  const int rows = ::GetDIBits(dc, bitmap, 0, height, pixels.data(), &header, DIB_RGB_COLORS);
  ::DeleteDC(dc);
  if (rows != height) return nullptr;

  const std::vector<RegionRect> rects =
      RegionRectsFromPixels(pixels.data(), width, height, static_cast<std::size_t>(width) * 4,
                            ColorOf(transparent), ColorOf(tolerance));
  HRGN result = ::CreateRectRgn(0, 0, 0, 0);
  for (std::size_t first = 0; result != nullptr && first < rects.size(); first += kRectsPerBatch) {
    HRGN batch = RegionFromRects(rects.data() + first, std::min(kRectsPerBatch, rects.size() - first));
    if (batch == nullptr) {
      ::DeleteObject(result);
      return nullptr;
    }
    ::CombineRgn(result, result, batch, RGN_OR);
    ::DeleteObject(batch);
  }
  return result;
}

bool SetWindowRegionFromBitmap(HWND window, HBITMAP bitmap, COLORREF transparent, COLORREF tolerance) {
  HRGN region = RegionFromBitmap(bitmap, transparent, tolerance);
  if (region == nullptr) return false;
  if (::SetWindowRgn(window, region, TRUE) == 0) {  // on success the window owns the region
    ::DeleteObject(region);
    return false;
  }
  return true;
}
