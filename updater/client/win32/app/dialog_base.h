// The smallest dialog base: the static procedure keeps `this` from WM_INITDIALOG and forwards to
// the object; nothing throws across user32.
#pragma once
#include <string>

#include "corekit/debug.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace nv::updater {

struct FontTraits {
  using pointer = HFONT;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::DeleteObject(h); }
};
using UniqueFont = nv::UniqueHandle<FontTraits>;

// The dialog's font in the face the string file names (its "FontFaceName"), at the template's
// size, on the dialog and every control; the caller keeps the font while the dialog lives.
inline UniqueFont ApplyFontFace(HWND dialog, const std::string& face) {
  LOGFONTW font{};
  auto current = reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (face.empty() || !current || !::GetObjectW(current, sizeof font, &font)) return UniqueFont();
  const std::wstring wide = nv::text::Widen(face);
  if (wide.size() >= LF_FACESIZE) return UniqueFont();
  wide.copy(font.lfFaceName, wide.size());
  font.lfFaceName[wide.size()] = L'\0';
  UniqueFont made(::CreateFontIndirectW(&font));
  if (!made) return made;
  ::SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), FALSE);
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM f) -> BOOL {
        ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(f), TRUE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(made.get()));
  return made;
}

class DialogBase {
 public:
  virtual ~DialogBase() = default;
  INT_PTR RunModal(HINSTANCE resources, int templateId, HWND owner) {
    return ::DialogBoxParamW(resources, MAKEINTRESOURCEW(templateId), owner, &DialogBase::Procedure,
                             reinterpret_cast<LPARAM>(this));
  }
  HWND hwnd() const { return m_hwnd; }

 protected:
  virtual void OnInit() = 0;
  virtual void OnCommand(int id, int code) = 0;
  // Messages of the program's own (WM_APP and up); returns the result.
  virtual INT_PTR OnOther(UINT, WPARAM, LPARAM) { return FALSE; }
  HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<DialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    try {
      switch (message) {
        case WM_INITDIALOG:
          self->m_hwnd = hwnd;
          self->OnInit();
          return TRUE;
        case WM_COMMAND:
          self->OnCommand(LOWORD(wParam), HIWORD(wParam));
          return TRUE;
        default:
          return message >= WM_APP ? self->OnOther(message, wParam, lParam) : FALSE;
      }
    } catch (...) {
      CDebug::dprintf("Updagent: dialog message %u failed\n", message);
      ::EndDialog(hwnd, IDABORT);
      return TRUE;
    }
  }
  HWND m_hwnd = nullptr;
};

}  // namespace nv::updater
