#include "netvane/win32/window_font.h"

#include <vector>

#include "corekit/debug.h"
#include "netvane/dialog_font.h"
#include "platform/text.h"

namespace nv::core {
namespace {

int CALLBACK AddFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM faces) {
  reinterpret_cast<std::vector<std::string>*>(faces)->push_back(nv::text::Narrow(font->lfFaceName));
  return 1;
}

// The faces the system has, for the Hangul character set or for any.
std::vector<std::string> InstalledFaces(bool hangul) {
  std::vector<std::string> faces;
  const HDC dc = ::GetDC(nullptr);
  LOGFONTW wanted{};
  wanted.lfCharSet = hangul ? HANGUL_CHARSET : DEFAULT_CHARSET;
  ::EnumFontFamiliesExW(dc, &wanted, &AddFace, reinterpret_cast<LPARAM>(&faces), 0);
  ::ReleaseDC(nullptr, dc);
  return faces;
}

}  // namespace

nv::win32::UniqueFont ApplyStringFileFont(HWND window, const std::string& wanted, const std::string& texts,
                                          int templateId) {
  const bool hangul = ContainsHangul(wanted + texts);
  const FontChoice choice = ChooseDialogFont(wanted, InstalledFaces(hangul), hangul);
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  const std::wstring face = nv::text::Widen(choice.face);
  if (choice.face.empty() || face.size() >= LF_FACESIZE || current == nullptr ||
      ::GetObjectW(current, sizeof font, &font) == 0) {
    CDebug::dprintf("Dialog %d: font %s not available, the template's kept\n", templateId, wanted.c_str());
    return {};
  }
  face.copy(font.lfFaceName, face.size());
  font.lfFaceName[face.size()] = L'\0';
  font.lfCharSet = choice.hangul ? HANGUL_CHARSET : DEFAULT_CHARSET;
  nv::win32::UniqueFont made(::CreateFontIndirectW(&font));
  if (!made) return {};
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), FALSE);
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), FALSE);
  if (choice.face != wanted)
    CDebug::dprintf("Dialog %d: font %s is missing, %s used\n", templateId, wanted.c_str(),
                    choice.face.c_str());
  return made;
}

}  // namespace nv::core
