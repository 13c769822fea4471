// Windows only: Netvane's skinned look, laid over the standard controls so that their state
// (checked, pressed, enabled, the radio group) stays theirs and every caller keeps using
// BM_CLICK and IsDlgButtonChecked.  Push buttons are painted from the button strip (4 states,
// margins 7, 7, 6, 18), check boxes and radio buttons from their strips with white text, and
// dialogs get the background bitmap 134 stretched over their client area.
#pragma once
#include "platform/windows_api.h"

namespace nv::ui {

// Skins every button of `dialog` (not its grandchildren) with the bitmaps of `resources`.
void SkinControls(HWND dialog, HMODULE resources);

// Paints the background bitmap stretched over `window`'s client area; false without a bitmap.
bool PaintSkinBackground(HWND window, HDC dc, HMODULE resources);

// A child window (a page) shows its parent's background in its own place, so the picture runs
// on across the page; false when the parent paints none.
bool PaintParentBackground(HWND child, HDC dc);

// Gives a top-level dialog the outline of the background bitmap stretched to its size: pixels of
// the transparent colour (magenta) are cut away.  A background without them leaves the window
// rectangular.
void ShapeFromBackground(HWND window, HMODULE resources);

// The answer to WM_CTLCOLORSTATIC for labels and group boxes on the background: white text on
// a transparent background (a group box's title on the picture's middle colour, so its frame line
// does not run through the text).  Null for other controls (edits, read-only fields): default
// colours.
HBRUSH SkinStaticColours(HWND control, HDC dc, HMODULE resources);

}  // namespace nv::ui
