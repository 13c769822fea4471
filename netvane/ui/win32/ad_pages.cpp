#include "netvane/win32/ad_pages.h"

#include "corekit/folder_picker.h"
#include "corekit/ini_file.h"
#include "nvres/nvres_ids.h"

namespace nv::ui {
namespace {

// The page's own dialog font, so the list matches the other controls.
HFONT PageFont(HWND page) { return reinterpret_cast<HFONT>(::SendMessageW(page, WM_GETFONT, 0, 0)); }

// Without a string file the texts fall back to the resource library's strings.
template <typename Read>
auto ReadTexts(const DialogContext& context, Read read) {
  if (context.strings != nullptr) return read(*context.strings);
  CIniFile none;
  return read(none);
}

}  // namespace

// ---- printer page ----

CAdPrintPage::CAdPrintPage(const DialogContext& context, const CCfginfo& cfg, bool nt,
                           CAdPrint::HelperFactory helpers)
    : COptionPage(context, IDD_AD_PRINT),
      m_model(cfg.baseKey, cfg.InstalledPath, nt, std::move(helpers)),
      m_view(m_model) {}

bool CAdPrintPage::OnInit() {
  m_view.OnInit(hwnd(),
                ReadTexts(context(), [](CIniFile& ini) { return nv::core::ReadPrinterPageTexts(ini); }),
                PageFont(hwnd()));
  return false;
}

bool CAdPrintPage::OnCommand(int id, int code) {
  return m_view.OnCommand(hwnd(), id, code) || COptionPage::OnCommand(id, code);
}

bool CAdPrintPage::OnNotify(NMHDR* header) { return m_view.OnNotify(hwnd(), header); }

// ---- folder page ----

CAdFolderPage::CAdFolderPage(const DialogContext& context, std::unique_ptr<CGuardDevice> ownDevice,
                             CGuardDevice* sharedDevice, std::string windowsDir,
                             nv::core::CWin32FolderPageHost::Chooser chooser)
    : COptionPage(context, IDD_AD_FOLDER),
      m_ownDevice(std::move(ownDevice)),
      m_host(std::move(chooser)),
      m_model(m_ownDevice ? m_ownDevice.get() : sharedDevice, std::move(windowsDir),
              ReadTexts(context, [](CIniFile& ini) { return nv::core::ReadFolderPageTexts(ini); }), m_host),
      m_view(m_model) {}

bool CAdFolderPage::OnInit() {
  m_host.SetOwner(hwnd());
  m_view.OnInit(hwnd(),
                ReadTexts(context(), [](CIniFile& ini) { return nv::core::ReadFolderPageLabels(ini); }),
                PageFont(hwnd()));
  return false;
}

bool CAdFolderPage::OnCommand(int id, int code) {
  return m_view.OnCommand(hwnd(), id, code) || COptionPage::OnCommand(id, code);
}

bool CAdFolderPage::OnNotify(NMHDR* header) { return m_view.OnNotify(hwnd(), header); }

std::optional<std::string> PickFolder(HWND owner, const std::string& title) {
  CDlgGetPath picker(owner);
  picker.SetTitle(title);
  if (picker.DoModal() != CDlgGetPath::kIdOk) return std::nullopt;
  return picker.GetPath();
}

OptionSheetHooks AdPageHooks(const COSversion& os, CGuardDevice* frameDevice,
                             nv::core::CWin32FolderPageHost::Chooser chooser) {
  OptionSheetHooks hooks;
  const bool nt = os.isNT();
  hooks.printerPage = [nt](const DialogContext& context, CCfginfo& cfg) -> std::unique_ptr<COptionPage> {
    return std::make_unique<CAdPrintPage>(context, cfg, nt);
  };
  hooks.folderPage = [os, frameDevice, chooser = std::move(chooser)](
                         const DialogContext& context, CCfginfo&) -> std::unique_ptr<COptionPage> {
    std::unique_ptr<CGuardDevice> own;
    if (!os.isNT()) own = std::make_unique<CGuardDevice>(os);
    return std::make_unique<CAdFolderPage>(context, std::move(own), frameDevice, os.m_windowsDir, chooser);
  };
  return hooks;
}

}  // namespace nv::ui
