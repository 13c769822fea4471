// Puts the string file's face on a window made from a dialog template: the dialogs and pages of
// the user interface and the change display's progress window use it, so all are drawn alike.
#pragma once
#include <string>

#include "platform/win32_handles.h"

namespace nv::core {

// Draws `window` and its children in the face ChooseDialogFont picks for `wanted` among the
// faces the system has, at the size of the window's font.  `texts`: what the window shows,
// which tells whether Hangul glyphs are needed.  Returns the font, which must outlive the
// window; empty when the window keeps its template's font (traced with `templateId`).
nv::win32::UniqueFont ApplyStringFileFont(HWND window, const std::string& wanted, const std::string& texts,
                                          int templateId);

}  // namespace nv::core
