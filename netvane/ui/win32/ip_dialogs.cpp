#include "netvane/win32/ip_dialogs.h"

#include <commctrl.h>

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "netvane/message_line_breaks.h"
#include "netvane/string_keys.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"

namespace nv::ui {
namespace {

// The address fields are the platform's IP address controls.
void InitAddressControls() {
  INITCOMMONCONTROLSEX init{sizeof init, ICC_INTERNET_CLASSES | ICC_TAB_CLASSES};
  ::InitCommonControlsEx(&init);
}

const int kDhcp[2] = {IDC_IP2_DHCP_A, IDC_IP2_DHCP_B};
const int kAddress[2] = {IDC_IP2_ADDRESS_A, IDC_IP2_ADDRESS_B};
const int kMask[2] = {IDC_IP2_MASK_A, IDC_IP2_MASK_B};
const int kGateway[2] = {IDC_IP2_GATEWAY_A, IDC_IP2_GATEWAY_B};
const int kDns[2] = {IDC_IP2_DNS_A, IDC_IP2_DNS_B};
const int kDomain[2] = {IDC_IP2_DOMAIN_A, IDC_IP2_DOMAIN_B};

}  // namespace

NicListFactory SystemNicList() {
  return [] { return std::make_unique<CNicList>(); };
}

void AdapterCombo::Fill(HWND combo, const std::string& stored) {
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  m_list = m_factory();
  std::vector<std::string> names;
  if (m_list) {
    m_list->Scan("Enum");
    for (int i = 0; i < m_list->GetCount(); ++i) {
      names.push_back(m_list->GetDisplayName(i));
      CDebug::dprintf("AddNIC(%s)\n", names.back().c_str());
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(nv::text::Widen(names.back()).c_str()));
    }
  }
  const int pick = PickAdapter(names, stored);
  if (::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(pick), 0) == CB_ERR) {
    CDebug::dprintf("Aoto sel No Found \n");
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
  }
}

bool AdapterCombo::Selected(HWND combo, AdapterChoice& out, int& index) const {
  const LRESULT selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR || !m_list || selected >= m_list->GetCount()) return false;
  index = static_cast<int>(selected);
  out.displayName = m_list->GetDisplayName(index);
  out.adapterName = m_list->GetAdapterName(index);
  out.mac = m_list->GetMac(index);
  return true;
}

// ---- IP1Cfg ----

CIp1CfgDialog::CIp1CfgDialog(const DialogContext& context, CCfginfo& cfg, const COSversion& os,
                             NicListFactory nics)
    : CDialogBase(context, IDD_IP1CFG), m_cfg(cfg), m_os(os), m_adapters(std::move(nics)) {
  InitAddressControls();
  m_bindings = {BindIp(IDC_IP_GATEWAY_A, m_form.gateway[0]), BindIp(IDC_IP_GATEWAY_B, m_form.gateway[1]),
                BindCheck(IDC_IP_SAME_GW, m_form.sameGateway)};
}

bool CIp1CfgDialog::OnInit() {
  using namespace nv::strings;
  SetTitle(Text(kIp1Title));
  SetItemText(IDC_IP_ADAPTER_GROUP, kLancard);
  SetItemText(IDC_IP_ADAPTER_LABEL, Text(kIp1DeviceDesc));
  SetItemText(IDC_IP_GROUP1, Text(kIp1Group1));
  SetItemText(IDC_IP_GROUP2, Text(kIp1Group2));
  SetItemText(IDC_IP_SAME_GW, Text(kIp1SameGw));
  SetItemText(IDC_IP_GATEWAY_LABEL_A, Text(kIp1Gateway));
  SetItemText(IDC_IP_GATEWAY_LABEL_B, Text(kIp1Gateway));
  SetItemText(IDOK, Text(kSave));
  SetItemText(IDCANCEL, Text(kCancel));

  m_form = Ip1Open(m_cfg.net);
  Refresh();
  m_adapters.Fill(Item(IDC_IP_ADAPTER), m_cfg.net[0].szNetDev);
  return true;
}

void CIp1CfgDialog::Refresh() {
  LoadControls(hwnd(), m_bindings);
  Enable(IDC_IP_GATEWAY_B, Ip1GatewayBEnabled(m_form));
}

bool CIp1CfgDialog::OnCommand(int id, int code) {
  if (id == IDC_IP_SAME_GW && code == BN_CLICKED) {
    StoreControls(hwnd(), m_bindings);
    m_form = Ip1SameGatewayClicked(m_form);
    Refresh();
    return true;
  }
  return CDialogBase::OnCommand(id, code);
}

void CIp1CfgDialog::OnOK() {
  StoreControls(hwnd(), m_bindings);
  AdapterChoice adapter;
  int index = -1;
  const bool selected = m_adapters.Selected(Item(IDC_IP_ADAPTER), adapter, index);
  // Built apart and put in force by the save only when all of it is stored.
  NetworkSettings next = m_cfg.Networks();
  Ip1Apply(m_form, selected ? &adapter : nullptr, next);
  if (!m_cfg.SaveNetworks(m_os, next)) {
    ReportSettingsNotSaved(hwnd());
    return;
  }
  End(IDOK);
}

// ---- IP2Cfg ----

CIp2CfgDialog::CIp2CfgDialog(const DialogContext& context, CCfginfo& cfg, const COSversion& os,
                             NicListFactory nics)
    : CDialogBase(context, IDD_IP2CFG), m_cfg(cfg), m_os(os), m_adapters(std::move(nics)) {
  InitAddressControls();
  for (int n = 0; n < 2; ++n) {
    Ip2NetForm& f = m_form.net[n];
    m_bindings.push_back(BindCheck(kDhcp[n], f.useDhcp));
    m_bindings.push_back(BindIp(kAddress[n], f.address));
    m_bindings.push_back(BindIp(kMask[n], f.mask));
    m_bindings.push_back(BindIp(kGateway[n], f.gateway));
    m_bindings.push_back(BindIp(kDns[n], f.dns));
    m_bindings.push_back(BindText(kDomain[n], f.domain, 255));
  }
}

bool CIp2CfgDialog::OnInit() {
  using namespace nv::strings;
  SetTitle(Text(kIp2Title));
  SetItemText(IDC_IP_ADAPTER_GROUP, kLancard);
  SetItemText(IDC_IP_ADAPTER_LABEL, Text(kIp1DeviceDesc));
  SetItemText(IDC_IP_RELOAD, Text(kRead));
  for (int n = 0; n < 2; ++n) {
    const int group = n == 0 ? IDC_IP_GROUP1 : IDC_IP_GROUP2;
    SetItemText(group, m_cfg.szNet[n] + " - " + Text(kIp2NetConf));
    SetItemText(kDhcp[n], Text(kIp1UseDhcp));
    const int base = n == 0 ? IDC_IP2_LABELS_A : IDC_IP2_LABELS_B;
    SetItemText(base + 0, Text(kIp2Ip));
    SetItemText(base + 1, Text(kIp2Mask));
    SetItemText(base + 2, Text(kIp2Gw));
    SetItemText(base + 3, Text(kIp2Dns));
    SetItemText(base + 4, Text(kIp2Domain));
  }
  SetItemText(IDC_IP2_CLEAR, Text(kDelete));
  SetItemText(IDOK, Text(kSave));
  SetItemText(IDCANCEL, Text(kCancel));
  Open();
  return true;
}

void CIp2CfgDialog::Open() {
  m_form = Ip2Open(m_cfg.net);
  Refresh();
  m_adapters.Fill(Item(IDC_IP_ADAPTER), m_cfg.net[0].szNetDev);
}

void CIp2CfgDialog::Refresh() {
  LoadControls(hwnd(), m_bindings);
  for (int n = 0; n < 2; ++n) {
    const bool on = Ip2FieldsEnabled(m_form.net[n]);
    for (int id : {kAddress[n], kMask[n], kGateway[n], kDns[n], kDomain[n]}) Enable(id, on);
  }
}

bool CIp2CfgDialog::OnCommand(int id, int code) {
  if ((id == kDhcp[0] || id == kDhcp[1]) && code == BN_CLICKED) {
    StoreControls(hwnd(), m_bindings);
    Refresh();
    return true;
  }
  if (id == IDC_IP2_CLEAR && code == BN_CLICKED) {
    m_form = Ip2Cleared();
    Refresh();
    return true;
  }
  if (id == IDC_IP_RELOAD && code == BN_CLICKED) {
    Open();
    return true;
  }
  if (id == IDC_IP_ADAPTER && code == CBN_SELCHANGE) {
    CDebug::dprintf("CB Selected\n");
    return true;
  }
  return CDialogBase::OnCommand(id, code);
}

void CIp2CfgDialog::OnOK() {
  StoreControls(hwnd(), m_bindings);
  AdapterChoice adapter;
  int index = -1;
  const bool selected = m_adapters.Selected(Item(IDC_IP_ADAPTER), adapter, index);
  NetworkSettings next = m_cfg.Networks();
  Ip2Apply(m_form, selected ? &adapter : nullptr, next);
  if (!m_cfg.SaveNetworks(m_os, next)) {
    ReportSettingsNotSaved(hwnd());
    return;
  }
  // From now on every change takes its addresses by DHCP.
  if (selected && m_adapters.list() != nullptr) m_adapters.list()->SetAdapterDhcp(index);
  End(IDOK);
}

bool AskReboot(HWND owner, CIniFile& strings, const std::string& appName,
               const std::function<void()>& restart, const MessageBoxFn& show) {
  const StringKey& key = nv::strings::kReboot;
  const std::string text =
      nv::core::MessageLineBreaks(strings.GetValue(key.section, key.key, key.resourceId));
  const unsigned type = MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL;
  const int answer =
      show ? show(owner, appName, text, type)
           : ::MessageBoxW(owner, nv::text::Widen(text).c_str(), nv::text::Widen(appName).c_str(), type);
  if (answer != IDYES) return false;
  if (restart) restart();
  return true;
}

}  // namespace nv::ui
