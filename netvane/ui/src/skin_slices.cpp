#include "netvane/skin_slices.h"

#include <algorithm>

namespace nv::ui {
namespace {

// Two margins that together fit in `size`, cut proportionally when they do not.
void FitMargins(int size, int& first, int& second) {
  first = std::max(first, 0);
  second = std::max(second, 0);
  if (first + second <= size) return;
  const int total = first + second;
  first = total == 0 ? 0 : first * size / total;
  second = size - first;
}

}  // namespace

ButtonState ButtonStateOf(bool enabled, bool pressed, bool hover) {
  if (!enabled) return ButtonState::kDisabled;
  if (pressed) return ButtonState::kPressed;
  return hover ? ButtonState::kHover : ButtonState::kNormal;
}

int CheckSlice(bool checked, bool enabled, int states) {
  const int slice = checked ? 1 : 0;
  return states >= 4 && !enabled ? slice + 2 : slice;
}

SkinRect StateSlice(int bitmapWidth, int bitmapHeight, int states, int state) {
  if (states < 1) states = 1;
  if (state < 0 || state >= states) state = 0;
  const int slice = bitmapWidth / states;
  return SkinRect{state * slice, 0, (state + 1) * slice, bitmapHeight};
}

std::array<SlicePart, 9> NineSlice(const SkinRect& source, const SkinMargins& margins, int targetWidth,
                                   int targetHeight) {
  int sl = margins.left, sr = margins.right, st = margins.top, sb = margins.bottom;
  // The source keeps a middle of at least one pixel: a target larger than the margins stretches
  // it, so no row or column of the target is left unpainted.
  FitMargins(std::max(source.width() - 1, 0), sl, sr);
  FitMargins(std::max(source.height() - 1, 0), st, sb);
  int tl = sl, tr = sr, tt = st, tb = sb;
  FitMargins(targetWidth, tl, tr);
  FitMargins(targetHeight, tt, tb);

  const int sx[4] = {source.left, source.left + sl, source.right - sr, source.right};
  const int sy[4] = {source.top, source.top + st, source.bottom - sb, source.bottom};
  const int tx[4] = {0, tl, targetWidth - tr, targetWidth};
  const int ty[4] = {0, tt, targetHeight - tb, targetHeight};
  std::array<SlicePart, 9> parts{};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      parts[row * 3 + col] = {{sx[col], sy[row], sx[col + 1], sy[row + 1]},
                              {tx[col], ty[row], tx[col + 1], ty[row + 1]}};
  return parts;
}

}  // namespace nv::ui
