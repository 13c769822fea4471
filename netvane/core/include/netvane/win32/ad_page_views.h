// The Win32 side of the printer and folder pages of the option sheet: each view fills the
// page's controls (dialog templates 151 and 150 of NvRes.dll) from its model (CAdPrint,
// CAdFolder) and turns the page's messages into model calls.  The option sheet's page object
// makes the view when the page is created and forwards to it:
//   WM_INITDIALOG -> OnInit, WM_COMMAND -> OnCommand, WM_NOTIFY -> OnNotify, sheet OK -> Save.
// Nothing here throws across user32: the page's dialog procedure catches.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "netvane/ad_folder.h"
#include "netvane/ad_print.h"
#include "platform/windows_api.h"

namespace nv::core {

class CAdPrintView {
 public:
  explicit CAdPrintView(CAdPrint& model) : m_model(model) {}
  // Texts, the three centred columns, full-row selection, the page font (may be null), Load.
  void OnInit(HWND page, const PrinterPageTexts& texts, HFONT font);
  // True when handled (the Scan button).
  bool OnCommand(HWND page, int id, int code);
  // True when handled (a click on the list: a mark cell toggles).
  bool OnNotify(HWND page, const NMHDR* header);
  bool Save() { return m_model.Save(); }

 private:
  void Fill(HWND list);
  CAdPrint& m_model;
};

// The folder page's host on Windows: the chooser given by the sheet (the folder picker),
// message boxes owned by the page, and the system's short paths.
class CWin32FolderPageHost final : public IFolderPageHost {
 public:
  using Chooser = std::function<std::optional<std::string>(HWND owner, const std::string& title)>;
  explicit CWin32FolderPageHost(Chooser chooser) : m_chooser(std::move(chooser)) {}
  void SetOwner(HWND owner) noexcept { m_owner = owner; }
  std::optional<std::string> ChooseFolder(const std::string& title) override;
  void Inform(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> ShortPath(const std::string& path) override { return SystemShortPath(path); }

 private:
  Chooser m_chooser;
  HWND m_owner = nullptr;
};

class CAdFolderView {
 public:
  explicit CAdFolderView(CAdFolder& model) : m_model(model) {}
  // Texts, columns; then the model opens the device: on failure the page stays as it is.
  void OnInit(HWND page, const FolderPageLabels& labels, HFONT font);
  bool OnCommand(HWND page, int id, int code);
  bool OnNotify(HWND page, const NMHDR* header);
  void Save() { m_model.Save(); }

 private:
  void Refresh(HWND page);
  std::vector<size_t> Selected(HWND page) const;
  FlagEditor ReadEditor(HWND page) const;
  CAdFolder& m_model;
};

}  // namespace nv::core
