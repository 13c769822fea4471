// Where a skinned button's pieces come from and go to.  One bitmap holds the button's states side
// by side in equal slices (normal, hover, pressed, disabled); a state's slice is drawn into the
// button in nine parts: the corners keep their size, the edges stretch along one axis and the
// middle along both, so the margins (left, top, right, bottom) never distort.
#pragma once
#include <array>

namespace nv::ui {

struct SkinRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const SkinRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

struct SkinMargins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Every dialog's buttons: four states, margins 7, 7, 6, 18.
inline constexpr int kButtonStates = 4;
inline constexpr SkinMargins kButtonMargins{7, 7, 6, 18};

enum class ButtonState { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };

// Which slice a push button shows: disabled before pressed before hover before normal.
ButtonState ButtonStateOf(bool enabled, bool pressed, bool hover);

// Which slice a check box or radio button shows: strips of 4 hold unchecked, checked, and the
// same two disabled; strips of 2 only unchecked and checked.
int CheckSlice(bool checked, bool enabled, int states);

// The slice of state `state` in a bitmap `bitmapWidth` x `bitmapHeight` cut into `states` equal
// slices (the remainder of an uneven width is left unused).  A state outside 0..states-1 gives
// the first slice.
SkinRect StateSlice(int bitmapWidth, int bitmapHeight, int states, int state);

struct SlicePart {
  SkinRect source;
  SkinRect target;
};

// The nine parts of `source` drawn into a target of `targetWidth` x `targetHeight`, row by row
// from the top left.  Margins wider than the source or the target are cut down so the parts
// never overlap, and the source keeps a middle of at least one pixel, so every pixel of the
// target is painted; parts of zero size are kept (a painter skips them).
std::array<SlicePart, 9> NineSlice(const SkinRect& source, const SkinMargins& margins, int targetWidth,
                                   int targetHeight);

}  // namespace nv::ui
