// Windows only: a window region from a bitmap's non-transparent pixels (skinned frame and dialogs).
#pragma once
#include "platform/windows_api.h"

// The region of the pixels of `bitmap` that are not within `tolerance` of `transparent`
// (per channel); null when the bitmap cannot be read.  The caller owns the region.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF transparent, COLORREF tolerance);

// Gives `window` that region; false, and the window keeps its rectangle, when there is none.
bool SetWindowRegionFromBitmap(HWND window, HBITMAP bitmap, COLORREF transparent, COLORREF tolerance);
