// Which face the dialogs and the progress window are drawn in: the string file's "FontFaceName"
// at the template's size when the system has it, else a face it has that can show the texts.
// The choice is a plain function over the faces installed; win32/window_font.h asks the system
// and applies it to a window.
#pragma once
#include <string>
#include <vector>

namespace nv::core {

struct FontChoice {
  std::string face;     // empty: keep the template's font
  bool hangul = false;  // ask for the Hangul character set
};

// True when `utf8` holds a Hangul syllable or letter.
bool ContainsHangul(const std::string& utf8);

// `wanted`: the string file's face.  `installed`: the faces the system has (for the Hangul
// character set when `hangul`).  The wanted face when installed (compared without case); else,
// for Hangul texts, the first installed of Gulim, Malgun Gothic, Dotum, NanumGothic, then any
// installed Hangul face; for other texts the first installed of Tahoma, Segoe UI, MS Shell Dlg 2,
// DejaVu Sans (Wine's own);
// else nothing (the template's font stays).
FontChoice ChooseDialogFont(const std::string& wanted, const std::vector<std::string>& installed,
                            bool hangul);

}  // namespace nv::core
