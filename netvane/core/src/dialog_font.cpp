#include "netvane/dialog_font.h"

#include "platform/text.h"

namespace nv::core {
namespace {

const char* const kHangulFaces[] = {"굴림",  "Gulim", "Malgun Gothic", "맑은 고딕",
                                    "Dotum", "돋움",  "NanumGothic",   "나눔고딕"};
const char* const kLatinFaces[] = {"Tahoma", "Segoe UI", "MS Shell Dlg 2", "DejaVu Sans"};

bool Installed(const std::vector<std::string>& installed, const std::string& face) {
  for (const std::string& f : installed)
    if (nv::text::EqualsNoCase(f, face)) return true;
  return false;
}

}  // namespace

bool ContainsHangul(const std::string& utf8) {
  const std::u16string wide = nv::text::Utf8ToUtf16(utf8);
  for (char16_t c : wide)
    if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F))
      return true;
  return false;
}

FontChoice ChooseDialogFont(const std::string& wanted, const std::vector<std::string>& installed,
                            bool hangul) {
  if (!wanted.empty() && Installed(installed, wanted)) return {wanted, hangul};
  if (hangul) {
    for (const char* face : kHangulFaces)
      if (Installed(installed, face)) return {face, true};
    // Vertical forms ("@Face") are no face for a dialog.
    for (const std::string& face : installed)
      if (!face.empty() && face[0] != '@') return {face, true};
    return {std::string(), true};
  }
  for (const char* face : kLatinFaces)
    if (Installed(installed, face)) return {face, false};
  return {};
}

}  // namespace nv::core
