#include "netvane/win32/dialog_base.h"

#include <exception>
#include <string>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "corekit/message_box.h"
#include "netvane/string_keys.h"
#include "netvane/win32/skin.h"
#include "netvane/win32/window_font.h"
#include "platform/text.h"

namespace nv::ui {

CDialogBase::~CDialogBase() {
  if (m_hwnd != nullptr && !m_modal) {
    ::SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    ::DestroyWindow(m_hwnd);
  }
}

void CDialogBase::ApplyFont() {
  if (m_context.strings == nullptr) return;
  // The save and cancel texts tell whether the dialog needs Hangul glyphs.
  nv::win32::UniqueFont made =
      nv::core::ApplyStringFileFont(m_hwnd, Text(nv::strings::kFontFaceName),
                                    Text(nv::strings::kSave) + Text(nv::strings::kCancel), m_templateId);
  if (made) m_font = std::move(made);
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
