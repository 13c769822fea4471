// Windows only: the option sheet's printer and folder pages.  Each is a COptionPage over the
// page template (151, 150) that only forwards to core's views (CAdPrintView, CAdFolderView):
// WM_INITDIALOG, WM_COMMAND and WM_NOTIFY go to the view; the sheet's save writes the model's
// store (Commit) after the sheet's options were stored.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "corekit/os_version.h"
#include "netvane/ad_folder.h"
#include "netvane/ad_print.h"
#include "netvane/win32/ad_page_views.h"
#include "netvane/win32/option_sheet.h"

namespace nv::ui {

class CAdPrintPage final : public COptionPage {
 public:
  // `nt`: an NT-family system (printer connections cannot be marked there); without a factory
  // the system's printer helper.
  CAdPrintPage(const DialogContext& context, const CCfginfo& cfg, bool nt,
               CAdPrint::HelperFactory helpers = {});
  bool Commit() override { return m_view.Save(); }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  bool OnNotify(NMHDR* header) override;

 private:
  CAdPrint m_model;
  nv::core::CAdPrintView m_view;
};

class CAdFolderPage final : public COptionPage {
 public:
  // The page uses `ownDevice` when given, else `sharedDevice` (may be null: the page stays inert).
  CAdFolderPage(const DialogContext& context, std::unique_ptr<CGuardDevice> ownDevice,
                CGuardDevice* sharedDevice, std::string windowsDir,
                nv::core::CWin32FolderPageHost::Chooser chooser);
  bool Commit() override {
    m_view.Save();
    return true;
  }

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  bool OnNotify(NMHDR* header) override;

 private:
  std::unique_ptr<CGuardDevice> m_ownDevice;
  nv::core::CWin32FolderPageHost m_host;
  CAdFolder m_model;
  nv::core::CAdFolderView m_view;
};

// The folder page's chooser: Corekit's folder picker owned by `owner`; nullopt when cancelled.
std::optional<std::string> PickFolder(HWND owner, const std::string& title);

// The two pages for the sheet on system `os`.  The folder page opens a device of its own on the
// Windows 95 family; on NT it is given `frameDevice` (the drive step's, which never opens there).
// Its folders come from `chooser` (PickFolder unless given).
OptionSheetHooks AdPageHooks(const COSversion& os, CGuardDevice* frameDevice,
                             nv::core::CWin32FolderPageHost::Chooser chooser = &PickFolder);

}  // namespace nv::ui
