#include "netvane/win32/option_sheet.h"

#include <commctrl.h>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "netvane/string_keys.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"

namespace nv::ui {
namespace {

const int kUseNetwareBox[2] = {IDC_NET_USE_NETWARE_A, IDC_NET_USE_NETWARE_B};
const int kServer[2] = {IDC_NET_SERVER_A, IDC_NET_SERVER_B};
const int kAutoLoginBox[2] = {IDC_NET_AUTOLOGIN_A, IDC_NET_AUTOLOGIN_B};

std::unique_ptr<COptionPage> InertPage(const DialogContext& context, int templateId) {
  return std::make_unique<COptionPage>(context, templateId);
}

}  // namespace

// ---- display page ----

CAdDisplay::CAdDisplay(const DialogContext& context, CCfginfo& cfg)
    : COptionPage(context, IDD_AD_DISPLAY), m_cfg(cfg) {
  m_bindings = {BindText(IDC_DISP_NAME_A, m_form.name[0], CCfginfo::kNetNameChars),
                BindText(IDC_DISP_NAME_B, m_form.name[1], CCfginfo::kNetNameChars),
                BindCheck(IDC_DISP_ICON, m_form.shortcut), BindCheck(IDC_DISP_NETWORK, m_form.display),
                BindRadios(IDC_DISP_H, 2, m_layout)};
}

bool CAdDisplay::OnInit() {
  using namespace nv::strings;
  SetItemText(IDC_DISP_NAME_A_LABEL, m_cfg.szNet[0] + "(ID 1)");
  SetItemText(IDC_DISP_NAME_B_LABEL, m_cfg.szNet[1] + "(ID 2)");
  SetItemText(IDC_DISP_ICON, Text(kDispIcon));
  SetItemText(IDC_DISP_NETWORK, Text(kDispNetwork));
  SetItemText(IDC_DISP_H, Text(kDispH));
  SetItemText(IDC_DISP_V, Text(kDispV));
  m_form = DisplayLoad(m_cfg);
  m_layout = m_form.vertical ? 1 : 0;
  LoadControls(hwnd(), m_bindings);
  return false;
}

void CAdDisplay::Save(OptionSettings& cfg) {
  StoreControls(hwnd(), m_bindings);
  m_form.vertical = m_layout == 1;
  DisplaySave(m_form, cfg);
}

// ---- network page ----

CAdNetwork::CAdNetwork(const DialogContext& context, CCfginfo& cfg)
    : COptionPage(context, IDD_AD_NETWORK), m_cfg(cfg) {
  m_bindings.push_back(BindRadios(IDC_NET_COM_NONE, 5, m_form.comport));
  for (int n = 0; n < 2; ++n) {
    m_bindings.push_back(BindCheck(kUseNetwareBox[n], m_form.useNetware[n]));
    m_bindings.push_back(BindText(kServer[n], m_form.server[n], kNetworkServerChars));
    m_bindings.push_back(BindCheck(kAutoLoginBox[n], m_form.autoLogin[n]));
  }
  m_bindings.push_back(BindCheck(IDC_NET_REVERSE, m_form.reverse));
}

bool CAdNetwork::OnInit() {
  using namespace nv::strings;
  SetItemText(IDC_NET_CONTROL_GROUP, Text(kControl));
  SetItemText(IDC_NET_NETWARE_GROUP, Text(kNetware));
  SetItemText(IDC_NET_NAME_A, m_cfg.szNet[0]);
  SetItemText(IDC_NET_NAME_B, m_cfg.szNet[1]);
  for (int n = 0; n < 2; ++n) {
    SetItemText(kUseNetwareBox[n], Text(kUseNetware));
    SetItemText(kAutoLoginBox[n], Text(kAutoLogin));
  }
  m_form = NetworkLoad(m_cfg);
  Refresh();
  return false;
}

void CAdNetwork::Refresh() {
  LoadControls(hwnd(), m_bindings);
  for (int n = 0; n < 2; ++n) {
    Enable(kServer[n], NetworkServerEnabled(m_form, n));
    Enable(kAutoLoginBox[n], NetworkServerEnabled(m_form, n));
  }
}

bool CAdNetwork::OnCommand(int id, int code) {
  if ((id == kUseNetwareBox[0] || id == kUseNetwareBox[1]) && code == BN_CLICKED) {
    StoreControls(hwnd(), m_bindings);
    Refresh();
    return true;
  }
  return COptionPage::OnCommand(id, code);
}

void CAdNetwork::Save(OptionSettings& cfg) {
  StoreControls(hwnd(), m_bindings);
  NetworkSave(m_form, cfg);
}

// ---- manage page ----

CAdManage::CAdManage(const DialogContext& context, CCfginfo& cfg)
    : COptionPage(context, IDD_AD_MANAGE), m_cfg(cfg) {
  m_bindings = {BindRadios(IDC_MANAGE_IDLE_OFF, 2, m_idle), BindCombo(IDC_MANAGE_MINUTES, m_form.choice),
                BindRadios(IDC_MANAGE_LOG_OFF, 2, m_log)};
}

bool CAdManage::OnInit() {
  using namespace nv::strings;
  SetItemText(IDC_MANAGE_TIMER_LABEL, Text(kTimer));
  SetItemText(IDC_MANAGE_LOG_LABEL, Text(kLog));
  SetItemText(IDC_MANAGE_MIN_LABEL, Text(kMinText));
  for (int id : {IDC_MANAGE_IDLE_OFF, IDC_MANAGE_LOG_OFF}) SetItemText(id, Text(kDisable));
  for (int id : {IDC_MANAGE_IDLE_ON, IDC_MANAGE_LOG_ON}) SetItemText(id, Text(kEnable));

  CIniFile* strings = context().strings;
  m_choices = IdleChoices([strings](const std::string& key) {
    return strings != nullptr ? strings->GetValueI(nv::strings::kTmCnt.section, key) : 0;
  });
  const HWND combo = Item(IDC_MANAGE_MINUTES);
  for (const std::string& choice : m_choices)
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nv::text::Widen(choice).c_str()));
  m_form = ManageLoad(m_cfg, m_choices);
  Refresh();
  return false;
}

void CAdManage::Refresh() {
  m_idle = m_form.idleOn ? 1 : 0;
  m_log = m_form.logOn ? 1 : 0;
  LoadControls(hwnd(), m_bindings);
  Enable(IDC_MANAGE_MINUTES, ManageChoicesEnabled(m_form));
}

bool CAdManage::OnCommand(int id, int code) {
  if ((id == IDC_MANAGE_IDLE_OFF || id == IDC_MANAGE_IDLE_ON) && code == BN_CLICKED) {
    StoreControls(hwnd(), m_bindings);
    m_form.idleOn = m_idle == 1;
    m_form.logOn = m_log == 1;
    Refresh();
    return true;
  }
  return COptionPage::OnCommand(id, code);
}

void CAdManage::Save(OptionSettings& cfg) {
  StoreControls(hwnd(), m_bindings);
  m_form.idleOn = m_idle == 1;
  m_form.logOn = m_log == 1;
  ManageSave(m_form, m_choices, cfg);
}

// ---- the sheet ----

COptionSheet::COptionSheet(const DialogContext& context, CCfginfo& cfg, OptionSheetHooks hooks)
    : CDialogBase(context, IDD_AD_SHEET), m_cfg(cfg), m_hooks(std::move(hooks)) {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&init);
}

bool COptionSheet::OnInit() {
  using namespace nv::strings;
  SetTitle(Text(kOptTitle));
  SetItemText(IDC_SHEET_OK, Text(kSave));
  SetItemText(IDC_SHEET_CANCEL, Text(kCancel));

  const DialogContext& ctx = context();
  m_pages.clear();
  m_pages.push_back(std::make_unique<CAdDisplay>(ctx, m_cfg));
  m_pages.push_back(m_hooks.printerPage ? m_hooks.printerPage(ctx, m_cfg) : InertPage(ctx, IDD_AD_PRINT));
  m_pages.push_back(m_hooks.folderPage ? m_hooks.folderPage(ctx, m_cfg) : InertPage(ctx, IDD_AD_FOLDER));
  m_pages.push_back(std::make_unique<CAdNetwork>(ctx, m_cfg));
  m_pages.push_back(std::make_unique<CAdManage>(ctx, m_cfg));

  const HWND tab = Item(IDC_SHEET_TAB);
  const StringKey* tabs[kPageCount] = {&kTabDisp, &kTabPrint, &kTabFolder, &kTabNet, &kTabManage};
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring text = nv::text::Widen(Text(*tabs[i]));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    ::SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  // The pages sit in the tab's display area, in the sheet's coordinates.
  RECT area{};
  ::GetWindowRect(tab, &area);
  ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
  ::SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (auto& page : m_pages) {
    const HWND window = page->Create(hwnd());
    if (window == nullptr) {
      CDebug::dprintf("Option page not created (%lu)\n", ::GetLastError());
      continue;
    }
    // Above the tab control, which would otherwise paint over the page.
    ::SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   SWP_NOACTIVATE);
  }
  ShowPage(0);
  return true;
}

void COptionSheet::ShowPage(int index) {
  if (index < 0 || index >= static_cast<int>(m_pages.size())) return;
  ::SendMessageW(Item(IDC_SHEET_TAB), TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  for (int i = 0; i < static_cast<int>(m_pages.size()); ++i)
    if (m_pages[i]->hwnd() != nullptr) ::ShowWindow(m_pages[i]->hwnd(), i == index ? SW_SHOW : SW_HIDE);
}

bool COptionSheet::OnNotify(NMHDR* header) {
  if (header != nullptr && header->idFrom == IDC_SHEET_TAB && header->code == TCN_SELCHANGE) {
    ShowPage(static_cast<int>(::SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
    return true;
  }
  return false;
}

bool COptionSheet::OnCommand(int id, int code) {
  if (id == IDC_SHEET_OK && code == BN_CLICKED) {
    OnOK();
    return true;
  }
  if (id == IDC_SHEET_CANCEL && code == BN_CLICKED) {
    OnCancel();
    return true;
  }
  return CDialogBase::OnCommand(id, code);
}

void COptionSheet::OnOK() {
  std::vector<SheetPage> pages;
  // A page whose window never opened has no controls to read: it keeps what is in force.
  for (auto& page : m_pages) pages.push_back({page.get(), page->hwnd() != nullptr});
  if (!SaveSheet(pages, m_cfg)) {
    ReportSettingsNotSaved(hwnd());
    return;
  }
  End(IDOK);
}

void COptionSheet::OnCancel() {
  for (auto& page : m_pages) page->Cancel();
  End(IDCANCEL);
}

}  // namespace nv::ui
