// Windows only: the base of every Netvane dialog and page.  The static procedure takes `this`
// from the WM_INITDIALOG parameter into DWLP_USER, ignores messages before it and forwards to
// the virtual handlers.  Nothing throws across user32: an exception ends the dialog with
// kFailed (modal) or destroys it (modeless), and is traced.  Every dialog and page is drawn in
// the string file's "FontFaceName" at its template's size, or in a face the system has that can
// show the texts when that one is missing (netvane/win32/window_font.h).
//
// Lifecycle: construct, then DoModal (returns IDOK, IDCANCEL or kFailed) or Create (modeless,
// for pages and tests; the window lives until End or the owner goes).  The object must outlive
// its window.
#pragma once
#include <string>

#include "platform/win32_handles.h"
#include "platform/windows_api.h"

struct StringKey;
class CIniFile;

namespace nv::ui {

// What every dialog needs: the resource library with the templates and the string file.
// `skinned`: the background bitmap and the skinned buttons of skin.h (off: the standard look).
struct DialogContext {
  HMODULE resources = nullptr;
  CIniFile* strings = nullptr;
  bool skinned = true;
};

// Tells the user that a save failed (the store traced which value); the dialog stays open so
// they can try again or cancel.
void ReportSettingsNotSaved(HWND owner);

class CDialogBase {
 public:
  static constexpr INT_PTR kFailed = -1;

  CDialogBase(const DialogContext& context, int templateId) : m_context(context), m_templateId(templateId) {}
  virtual ~CDialogBase();
  CDialogBase(const CDialogBase&) = delete;
  CDialogBase& operator=(const CDialogBase&) = delete;

  INT_PTR DoModal(HWND owner);
  // Modeless: a child page when `owner` is a page host, else a top-level dialog.
  HWND Create(HWND owner);
  HWND hwnd() const noexcept { return m_hwnd; }
  // How a modeless dialog ended (0 while it is open).
  INT_PTR result() const noexcept { return m_result; }

 protected:
  virtual bool OnInit() { return true; }     // true: default focus
  virtual bool OnCommand(int id, int code);  // true when handled; IDOK/IDCANCEL by default
  virtual bool OnNotify(NMHDR* header);
  virtual void OnOK() { End(IDOK); }
  virtual void OnCancel() { End(IDCANCEL); }
  // Any other message; return true and set *result when handled.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

  void End(INT_PTR result);
  void SetMsgResult(LONG_PTR value) const { ::SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, value); }
  HWND Item(int id) const { return ::GetDlgItem(m_hwnd, id); }
  // A text of the string file (resource text when the file has none).
  std::string Text(const StringKey& key) const;
  void SetItemText(int id, const std::string& utf8) const;
  // The item shows the key's text; with none in the file or library, the template's text stays.
  void SetItemText(int id, const StringKey& key) const;
  std::string ItemText(int id) const;
  void SetTitle(const std::string& utf8) const;
  bool Checked(int id) const { return ::IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }
  void Check(int id, bool on) const { ::CheckDlgButton(m_hwnd, id, on ? BST_CHECKED : BST_UNCHECKED); }
  void Enable(int id, bool on) const { ::EnableWindow(Item(id), on ? TRUE : FALSE); }

  const DialogContext& context() const { return m_context; }

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyFont();

  DialogContext m_context;
  int m_templateId;
  HWND m_hwnd = nullptr;
  bool m_modal = false;
  INT_PTR m_result = 0;
  nv::win32::UniqueFont m_font;  // outlives the window
};

}  // namespace nv::ui
