#include "netvane/win32/dialog_base.h"

#include <exception>
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "corekit/message_box.h"
#include "netvane/dialog_font.h"
#include "netvane/string_keys.h"
#include "netvane/win32/skin.h"
#include "platform/text.h"

namespace nv::ui {
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

CDialogBase::~CDialogBase() {
  if (m_hwnd != nullptr && !m_modal) {
    ::SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    ::DestroyWindow(m_hwnd);
  }
  if (m_font != nullptr) ::DeleteObject(m_font);
}

void CDialogBase::ApplyFont() {
  if (m_context.strings == nullptr) return;
  const std::string wanted = Text(nv::strings::kFontFaceName);
  const bool hangul = ContainsHangul(wanted + Text(nv::strings::kSave) + Text(nv::strings::kCancel));
  const FontChoice choice = ChooseDialogFont(wanted, InstalledFaces(hangul), hangul);
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(m_hwnd, WM_GETFONT, 0, 0));
  const std::wstring face = nv::text::Widen(choice.face);
  if (choice.face.empty() || face.size() >= LF_FACESIZE || current == nullptr ||
      ::GetObjectW(current, sizeof font, &font) == 0) {
    CDebug::dprintf("Dialog %d: font %s not available, the template's kept\n", m_templateId, wanted.c_str());
    return;
  }
  face.copy(font.lfFaceName, face.size());
  font.lfFaceName[face.size()] = L'\0';
  font.lfCharSet = choice.hangul ? HANGUL_CHARSET : DEFAULT_CHARSET;
  const HFONT made = ::CreateFontIndirectW(&font);
  if (made == nullptr) return;
  if (m_font != nullptr) ::DeleteObject(m_font);
  m_font = made;
  ::SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  for (HWND child = ::GetWindow(m_hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
  if (choice.face != wanted)
    CDebug::dprintf("Dialog %d: font %s is missing, %s used\n", m_templateId, wanted.c_str(),
                    choice.face.c_str());
}

INT_PTR CDialogBase::DoModal(HWND owner) {
  m_modal = true;
  m_result = 0;
  const INT_PTR result = ::DialogBoxParamW(m_context.resources, MAKEINTRESOURCEW(m_templateId), owner,
                                           &CDialogBase::Procedure, reinterpret_cast<LPARAM>(this));
  if (result == -1) CDebug::dprintf("Dialog %d not shown (%lu)\n", m_templateId, ::GetLastError());
  return result == -1 ? kFailed : result;
}

HWND CDialogBase::Create(HWND owner) {
  m_modal = false;
  m_result = 0;
  return ::CreateDialogParamW(m_context.resources, MAKEINTRESOURCEW(m_templateId), owner,
                              &CDialogBase::Procedure, reinterpret_cast<LPARAM>(this));
}

void CDialogBase::End(INT_PTR result) {
  m_result = result;
  if (m_modal) {
    ::EndDialog(m_hwnd, result);
  } else {
    ::DestroyWindow(m_hwnd);
  }
}

bool CDialogBase::OnCommand(int id, int code) {
  if (code != BN_CLICKED && code != 0) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

bool CDialogBase::OnNotify(NMHDR*) { return false; }

bool CDialogBase::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

INT_PTR CALLBACK CDialogBase::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDialogBase*>(lParam);
    self->m_hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
  }
  auto* self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) return FALSE;
  try {
    const INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->m_hwnd = nullptr;
    }
    return result;
  } catch (const std::exception& e) {
    CDebug::dprintf("Dialog %d: message %u stopped by an error: %s\n", self->m_templateId, message, e.what());
  } catch (...) {
    CDebug::dprintf("Dialog %d: message %u stopped by an error\n", self->m_templateId, message);
  }
  if (message != WM_NCDESTROY && message != WM_DESTROY) self->End(kFailed);
  return FALSE;
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      ApplyFont();
      const bool focus = OnInit();
      if (m_context.skinned && m_context.resources != nullptr) {
        SkinControls(m_hwnd, m_context.resources);
        if ((::GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD) == 0)
          ShapeFromBackground(m_hwnd, m_context.resources);
      }
      return focus ? TRUE : FALSE;
    }
    case WM_ERASEBKGND: {
      if (!m_context.skinned) return FALSE;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      // A page continues its sheet's picture; a dialog of its own paints the whole picture.
      const bool child = (::GetWindowLongW(m_hwnd, GWL_STYLE) & WS_CHILD) != 0;
      if (!(child ? PaintParentBackground(m_hwnd, dc) : PaintSkinBackground(m_hwnd, dc, m_context.resources)))
        return FALSE;
      ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (m_context.skinned) {
        if (HBRUSH brush = SkinStaticColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam),
                                             m_context.resources))
          return reinterpret_cast<INT_PTR>(brush);
      }
      return FALSE;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam)) ? TRUE : FALSE;
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    default: {
      INT_PTR result = FALSE;
      return OnMessage(message, wParam, lParam, &result) ? result : FALSE;
    }
  }
}

std::string CDialogBase::Text(const StringKey& key) const {
  if (m_context.strings == nullptr) return {};
  return m_context.strings->GetValue(key.section, key.key, key.resourceId);
}

void CDialogBase::SetItemText(int id, const std::string& utf8) const {
  ::SetDlgItemTextW(m_hwnd, id, nv::text::Widen(utf8).c_str());
}

void CDialogBase::SetItemText(int id, const StringKey& key) const {
  const std::string text = Text(key);
  if (!text.empty()) SetItemText(id, text);
}

std::string CDialogBase::ItemText(int id) const {
  const HWND item = Item(id);
  const int length = ::GetWindowTextLengthW(item);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return nv::text::Narrow(text);
}

void CDialogBase::SetTitle(const std::string& utf8) const {
  ::SetWindowTextW(m_hwnd, nv::text::Widen(utf8).c_str());
}

void ReportSettingsNotSaved(HWND owner) {
  CDebug::dprintf("Settings not saved: the dialog stays open\n");
  corekit::ShowMessageBox(owner, "Netvane", "The settings could not be saved.",
                          corekit::kMbOk | corekit::kMbIconError);
}

}  // namespace nv::ui
