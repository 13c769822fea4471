// The configuration dialogs as a person uses them, on Wine's display: each dialog opens from its
// template in NvRes.dll with the English string file, the test sets its controls and presses its
// buttons with messages, then reads the registry.  The adapter trees of Windows 2000 and 95/98
// and the product key live below a scratch key.  One checked screenshot per dialog and page, in
// English and in Korean, goes to NV_TEST_ARTIFACT_DIR as dialog-<name>.png and -kor.png.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "corekit/ini_file.h"
#include "corekit/module_string_source.h"
#include "corekit/os_version.h"
#include "corekit/registry.h"
#include "corekit/resource_strings.h"
#include "corekit/testing/registry_sandbox.h"
#include "corekit/testing/scripted_registry_api.h"
#include "netvane/win32/about_box.h"
#include "netvane/win32/ad_pages.h"
#include "netvane/win32/ip_dialogs.h"
#include "netvane/win32/option_sheet.h"
#include "nvprn/testing/test_printers.h"
#include "nvres/nvres_ids.h"
#include "platform/testing/screenshot.h"
#include "platform/text.h"
#include "support/fake_guard_device.h"
#include "support/list_view_test_support.h"
#include "support/nic_test_registry.h"
// commctrl.h needs the types of windows.h first.
#include <commctrl.h>

namespace {

using nictest::HasValue;
using nictest::ReadNumber;
using nictest::ReadString;
using nictest::ReadStrings;
using Strings = std::vector<std::string>;

const std::string kProduct = "SOFTWARE\\Tarn\\Netvane-H";
const std::string kCards = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::string kTcpIp = "SYSTEM\\CurrentControlSet\\Services\\TcpIp\\Parameters";
const std::string kGuidA = "{8E3A1C52-6B4F-4D1E-9A77-2C0F5B1D3E01}";
const std::string kGuidC = "{C0FFEE00-1111-2222-3333-444455556666}";
const std::string kIfA = kTcpIp + "\\Interfaces\\" + kGuidA;
const std::string kIfC = kTcpIp + "\\Interfaces\\" + kGuidC;
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";

constexpr uint32_t Ip(int a, int b, int c, int d) {
  return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d);
}

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// A checked screenshot of `window` as "dialog-<name>.png" ("-kor" for the Korean texts) in the
// artifacts folder: on the test's own display, in front, painted, and (skinned windows) with
// every button's face whole and every caption readable; the Korean ones show Hangul.
void Screenshot(HWND window, const std::string& name, bool korean = false, bool skinned = true) {
  nv::testing::ScreenshotOptions options;
  options.file = "dialog-" + name + (korean ? "-kor" : "") + ".png";
  options.pump = [] { Pump(); };
  const auto handle = reinterpret_cast<std::uintptr_t>(window);
  const nv::testing::Screenshot shot = nv::testing::TakeWindowScreenshot(handle, options);
  ASSERT_TRUE(shot.ok) << options.file << ": " << shot.why;
  if (skinned) {
    EXPECT_EQ(nv::testing::CheckSkinnedLook(handle, shot), "") << options.file;
  }
  if (korean) {
    EXPECT_EQ(nv::testing::CheckHangulShown(handle), "") << options.file;
  }
}

void SetIp(HWND dialog, int id, uint32_t address) {
  ::SendDlgItemMessageW(dialog, id, IPM_SETADDRESS, 0, static_cast<LPARAM>(address));
}
void SetText(HWND dialog, int id, const std::string& text) {
  ::SetDlgItemTextW(dialog, id, nv::text::Widen(text).c_str());
}
void Click(HWND dialog, int id) {
  ASSERT_NE(::GetDlgItem(dialog, id), nullptr) << id;
  ::SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
  Pump();
}
bool Enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }
bool IsChecked(HWND dialog, int id) { return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
std::string Caption(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return nv::text::Narrow(text);
}
std::string ItemText(HWND dialog, int id) { return Caption(::GetDlgItem(dialog, id)); }
// A REG_BINARY value below the scratch tree; nullopt when its key or the value is missing.
std::optional<std::vector<uint8_t>> ReadBinary(const std::string& path, const std::string& name) {
  CRegistry key;
  if (!key.Connect(corekit::kHKeyLocalMachine) ||
      !key.Open((nictest::ScratchRoot() + "\\" + path).c_str(), CRegistry::permissionRead))
    return std::nullopt;
  std::vector<uint8_t> value;
  if (!key.GetBinaryValue(name.c_str(), value)) return std::nullopt;
  return value;
}

struct Desc {
  std::string name, description;
  unsigned char macLast;
};

nv::ui::NicListFactory ScratchNics(nv::core::NicFamily family, std::vector<Desc> descs) {
  return [family, descs] {
    std::array<tagADAPTER_DESC, 20> table{};
    for (size_t i = 0; i < descs.size(); ++i) {
      std::strncpy(table[i].szAdapterName, descs[i].name.c_str(), sizeof(table[i].szAdapterName) - 1);
      std::strncpy(table[i].szDescription, descs[i].description.c_str(), sizeof(table[i].szDescription) - 1);
      const unsigned char mac[6] = {0x00, 0x1B, 0x21, 0x3C, 0x4D, descs[i].macLast};
      std::memcpy(table[i].ucMacAddr, mac, 6);
    }
    nv::core::NicListSetup setup;
    setup.family = family;
    setup.descriptors = [table](tagADAPTER_DESC* out, int entries) {
      std::memcpy(out, table.data(), sizeof(tagADAPTER_DESC) * static_cast<size_t>(entries));
    };
    static nictest::RecordingNotice notice;
    setup.notice = &notice;
    setup.registryRoot = nictest::ScratchRoot();
    return std::make_unique<CNicList>(std::move(setup));
  };
}

class Dialogs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    resources_ = ::LoadLibraryW(L"NvRes.dll");
    if (resources_ != nullptr) {
      source_ = new CModuleStringSource(resources_);
      SetStringSource(source_);
    }
  }
  void SetUp() override {
    ASSERT_NE(resources_, nullptr) << "NvRes.dll not found beside the test";
    ASSERT_TRUE(nictest::DeleteScratchTree());
    ASSERT_TRUE(nictest::CreateKey(kProduct));
    wchar_t self[MAX_PATH] = {};
    std::wstring folder(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder.resize(folder.find_last_of(L'\\') + 1);
    strings_.SetPath(nv::text::Narrow(folder) + "NetvaneENG.ini");
    ASSERT_TRUE(strings_.ReadFile()) << strings_.GetPath();
    cfg_.SetKeys(nictest::ScratchRoot() + "\\" + kProduct);
    cfg_.szNet[0] = "INTRANET";
    cfg_.szNet[1] = "INTERNET";
    context_ = {resources_, &strings_};
  }
  void TearDown() override { EXPECT_TRUE(nictest::DeleteScratchTree()); }

  // Windows 2000: two served cards with fixed settings.
  static void BuildNT5() {
    ASSERT_TRUE(nictest::SetString(kCards + "\\1", "ServiceName", kGuidA));
    ASSERT_TRUE(nictest::SetString(kCards + "\\7", "ServiceName", kGuidC));
    for (const std::string& key : {kIfA, kIfC}) {
      ASSERT_TRUE(nictest::SetStrings(key, "IPAddress", {"192.168.10.5"}));
      ASSERT_TRUE(nictest::SetStrings(key, "SubnetMask", {"255.255.255.0"}));
      ASSERT_TRUE(nictest::SetStrings(key, "DefaultGateway", {"192.168.10.1"}));
      ASSERT_TRUE(nictest::SetNumber(key, "EnableDHCP", 0));
    }
    ASSERT_TRUE(nictest::SetNumber("SYSTEM\\CurrentControlSet\\Services\\DHCP", "Start", 3));
  }
  const std::vector<Desc> descsNT5 = {{"\\Device\\RgateII_" + kGuidC, "Realtek RTL8139 PCI", 0x0C},
                                      {"\\Device\\RgateII_" + kGuidA, "Intel PRO/1000", 0x0A}};
  // Windows 98: one Realtek card with its TCP/IP binding.
  static void BuildWin9x() {
    const std::string realtek = "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A";
    ASSERT_TRUE(nictest::SetString(realtek, "Class", "net"));
    ASSERT_TRUE(nictest::SetString(realtek, "Driver", "Net\\0000"));
    ASSERT_TRUE(nictest::SetString(realtek + "\\Bindings", "MSTCP\\0000", ""));
    ASSERT_TRUE(nictest::SetString("Enum\\Network\\MSTCP\\0000", "Class", "NetTrans"));
    ASSERT_TRUE(nictest::SetString("Enum\\Network\\MSTCP\\0000", "Driver", "NetTrans\\0000"));
    const std::string key = kClass + "\\NetTrans\\0000";
    ASSERT_TRUE(nictest::SetString(key, "IPAddress", "192.168.0.9"));
    ASSERT_TRUE(nictest::SetString(key, "IPMask", "255.255.255.0"));
    ASSERT_TRUE(nictest::SetString(key, "DefaultGateway", "192.168.0.1"));
  }
  const std::vector<Desc> descsWin9x = {{"0000", "Realtek RTL8139 Family PCI Fast Ethernet NIC", 0x01}};

  std::string Info(int n) const { return kProduct + "\\IPCfg\\info" + std::to_string(n); }

  static HMODULE resources_;
  static CModuleStringSource* source_;
  CIniFile strings_;
  CCfginfo cfg_;
  COSversion os_;
  nv::ui::DialogContext context_;
};
HMODULE Dialogs::resources_ = nullptr;
CModuleStringSource* Dialogs::source_ = nullptr;

TEST_F(Dialogs, Ip2CfgStoresBothNetworksAndSwitchesTheAdapterToDhcpOnEachFamily) {
  struct Case {
    const char* name;
    nv::core::NicFamily family;
  } cases[] = {{"nt5", nv::core::NicFamily::kNT5}, {"9x", nv::core::NicFamily::kWin9x}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(nictest::DeleteScratchTree());
    ASSERT_TRUE(nictest::CreateKey(kProduct));
    const bool nt5 = c.family == nv::core::NicFamily::kNT5;
    if (nt5) {
      BuildNT5();
    } else {
      BuildWin9x();
    }
    // The stored adapter is the second entry on NT (the list is in NetworkCards order).
    cfg_.net[0].szNetDev = nt5 ? "realtek RTL8139 PCI [\\Device\\RgateII_" + kGuidC + "]" : "";
    cfg_.net[1].useDhcp = 0;
    nv::ui::CIp2CfgDialog dialog(context_, cfg_, os_, ScratchNics(c.family, nt5 ? descsNT5 : descsWin9x));
    const HWND d = dialog.Create(nullptr);
    ASSERT_NE(d, nullptr);
    Pump();
    const HWND combo = ::GetDlgItem(d, IDC_IP_ADAPTER);
    ASSERT_EQ(::SendMessageW(combo, CB_GETCOUNT, 0, 0), nt5 ? 2 : 1);
    EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), nt5 ? 1 : 0);
    EXPECT_EQ(Caption(d), "IP Configuration for Each Network");
    EXPECT_EQ(ItemText(d, IDC_IP_ADAPTER_GROUP), "LAN card");
    EXPECT_EQ(ItemText(d, IDC_IP_ADAPTER_LABEL), "Network adapter");

    SetIp(d, IDC_IP2_ADDRESS_A, Ip(192, 168, 10, 50));
    SetIp(d, IDC_IP2_MASK_A, Ip(255, 255, 255, 0));
    SetIp(d, IDC_IP2_GATEWAY_A, Ip(192, 168, 10, 1));
    SetIp(d, IDC_IP2_DNS_A, Ip(192, 168, 10, 2));
    SetText(d, IDC_IP2_DOMAIN_A, "inside.example");
    SetIp(d, IDC_IP2_ADDRESS_B, Ip(203, 0, 113, 7));
    EXPECT_TRUE(Enabled(d, IDC_IP2_ADDRESS_B));
    Click(d, IDC_IP2_DHCP_B);
    EXPECT_FALSE(Enabled(d, IDC_IP2_ADDRESS_B));
    EXPECT_FALSE(Enabled(d, IDC_IP2_DOMAIN_B));
    EXPECT_TRUE(Enabled(d, IDC_IP2_ADDRESS_A));
    if (nt5) Screenshot(d, "ip2cfg");
    ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(dialog.result(), IDOK);

    EXPECT_EQ(ReadNumber(kProduct + "\\IPCfg", "dwIPnum"), 2u);
    EXPECT_EQ(ReadNumber(Info(0), "IPAddr"), Ip(192, 168, 10, 50));
    EXPECT_EQ(ReadNumber(Info(0), "NetMask"), Ip(255, 255, 255, 0));
    EXPECT_EQ(ReadNumber(Info(0), "Gateway"), Ip(192, 168, 10, 1));
    EXPECT_EQ(ReadNumber(Info(0), "szDns0"), Ip(192, 168, 10, 2));
    EXPECT_EQ(ReadString(Info(0), "szDomain0"), "inside.example");
    EXPECT_EQ(ReadNumber(Info(0), "dwFlags"), 0u);
    EXPECT_EQ(ReadNumber(Info(1), "dwFlags"), 0x10u);
    EXPECT_EQ(ReadNumber(Info(1), "IPAddr"), Ip(203, 0, 113, 7));  // kept though disabled
    if (nt5) {
      EXPECT_EQ(ReadString(Info(0), "szNetDev"), "Realtek RTL8139 PCI [\\Device\\RgateII_" + kGuidC + "]");
      EXPECT_EQ(ReadString(Info(1), "szBindName"), "\\Device\\RgateII_" + kGuidC);
      EXPECT_EQ(ReadString(kProduct, "RgSvcType"), "1");
      // The chosen adapter now takes its address by DHCP; the other keeps its fixed one.
      EXPECT_EQ(ReadStrings(kIfC, "IPAddress"), Strings{"0.0.0.0"});
      EXPECT_EQ(ReadNumber(kIfC, "EnableDHCP"), 1u);
      EXPECT_FALSE(HasValue(kIfC, "DefaultGateway"));
      EXPECT_EQ(ReadNumber(kIfA, "EnableDHCP"), 0u);
      EXPECT_EQ(ReadString(kProduct, "szBindPath1"), kIfC);
      EXPECT_EQ(ReadString(kProduct, "szBindPath2"), kIfC);
    } else {
      EXPECT_EQ(ReadString(Info(0), "szNetDev"), "Realtek RTL8139 Family PCI Fast Ethernet NIC [0000]");
      const std::string key = kClass + "\\NetTrans\\0000";
      EXPECT_EQ(ReadString(key, "IPAddress"), "0.0.0.0");
      EXPECT_EQ(ReadString(key, "IPMask"), "0.0.0.0");
      EXPECT_FALSE(HasValue(key, "DefaultGateway"));
      EXPECT_EQ(ReadString(kProduct, "szBindPath"), key);
    }
  }
}

TEST_F(Dialogs, Ip2CfgClearReloadAndCancelWriteNothing) {
  BuildNT5();
  cfg_.net[0].IPAddr = Ip(10, 1, 1, 1);
  cfg_.net[0].useDhcp = 1;
  nv::ui::CIp2CfgDialog dialog(context_, cfg_, os_, ScratchNics(nv::core::NicFamily::kNT5, descsNT5));
  const HWND d = dialog.Create(nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(IsChecked(d, IDC_IP2_DHCP_A));
  EXPECT_FALSE(Enabled(d, IDC_IP2_ADDRESS_A));
  Click(d, IDC_IP2_CLEAR);
  EXPECT_FALSE(IsChecked(d, IDC_IP2_DHCP_A));
  EXPECT_TRUE(Enabled(d, IDC_IP2_ADDRESS_A));
  Click(d, IDC_IP_RELOAD);  // the open steps again: the stored record comes back
  EXPECT_TRUE(IsChecked(d, IDC_IP2_DHCP_A));
  ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  Pump();
  EXPECT_EQ(dialog.result(), IDCANCEL);
  EXPECT_FALSE(HasValue(kProduct + "\\IPCfg", "dwIPnum"));
  EXPECT_FALSE(HasValue(Info(0), "dwFlags"));
  EXPECT_FALSE(HasValue(kProduct, "szBindPath1"));
  EXPECT_EQ(ReadNumber(kIfC, "EnableDHCP"), 0u);
}

TEST_F(Dialogs, Ip1CfgSharedGatewayAndNoAdapter) {
  cfg_.net[0].Gateway = Ip(10, 0, 0, 1);
  cfg_.net[1].Gateway = Ip(172, 16, 0, 1);
  cfg_.net[0].IPAddr = Ip(10, 0, 0, 9);
  // No adapter tree at all: the combo stays empty.
  nv::ui::CIp1CfgDialog dialog(context_, cfg_, os_, ScratchNics(nv::core::NicFamily::kNT5, {}));
  const HWND d = dialog.Create(nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(::SendDlgItemMessageW(d, IDC_IP_ADAPTER, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(ItemText(d, IDC_IP_SAME_GW), "Use the same gateway on both networks");
  EXPECT_EQ(ItemText(d, IDC_IP_ADAPTER_GROUP), "LAN card");
  EXPECT_TRUE(Enabled(d, IDC_IP_GATEWAY_B));
  Click(d, IDC_IP_SAME_GW);
  EXPECT_FALSE(Enabled(d, IDC_IP_GATEWAY_B));
  Screenshot(d, "ip1cfg");
  ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  Pump();
  EXPECT_EQ(dialog.result(), IDOK);
  EXPECT_EQ(ReadNumber(kProduct + "\\IPCfg", "dwIPnum"), 1u);
  EXPECT_EQ(ReadNumber(Info(0), "Gateway"), Ip(10, 0, 0, 1));
  EXPECT_EQ(ReadNumber(Info(1), "Gateway"), 0u);
  EXPECT_EQ(ReadNumber(Info(0), "IPAddr"), 0u);
  EXPECT_EQ(ReadNumber(Info(1), "dwFlags"), 0x01u);
  EXPECT_EQ(ReadString(Info(0), "szNetDev"), "Driver Install Need");

  // Cancel after a change writes nothing.  Without a string file the texts come from the
  // library, and the adapter frame, which has none there, keeps the template's caption.
  ASSERT_TRUE(nictest::DeleteScratchTree());
  CIniFile none;
  const nv::ui::DialogContext bare{resources_, &none};
  nv::ui::CIp1CfgDialog again(bare, cfg_, os_, ScratchNics(nv::core::NicFamily::kNT5, {}));
  const HWND d2 = again.Create(nullptr);
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(ItemText(d2, IDC_IP_ADAPTER_GROUP), "LAN card");
  EXPECT_EQ(ItemText(d2, IDC_IP_ADAPTER_LABEL), "Network adapter");
  EXPECT_EQ(Caption(d2), "IP Configuration");
  EXPECT_TRUE(IsChecked(d2, IDC_IP_SAME_GW));
  Click(d2, IDC_IP_SAME_GW);
  ::SendMessageW(d2, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  Pump();
  EXPECT_EQ(again.result(), IDCANCEL);
  EXPECT_FALSE(HasValue(kProduct + "\\IPCfg", "dwIPnum"));
}

TEST_F(Dialogs, RebootPromptBreaksLinesAndRestartsOnlyOnYes) {
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer);
    int restarts = 0;
    bool said = false;
    std::thread asker([&] { said = nv::ui::AskReboot(nullptr, strings_, "Netvane", [&] { ++restarts; }); });
    HWND box = nullptr;
    for (int i = 0; i < 200 && box == nullptr; ++i) {
      ::Sleep(50);
      box = ::FindWindowW(L"#32770", L"Netvane");
    }
    ASSERT_NE(box, nullptr);
    std::string text;
    ::EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
          const std::string t = Caption(child);
          if (t.find("restart") != std::string::npos) *reinterpret_cast<std::string*>(param) = t;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    EXPECT_NE(text.find("settings.\nRestart now?"), std::string::npos) << text;
    EXPECT_NE(::GetDlgItem(box, IDYES), nullptr);
    EXPECT_NE(::GetDlgItem(box, IDNO), nullptr);
    if (answer == IDYES) Screenshot(box, "reboot", false, false);  // the system's own message box
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    asker.join();
    EXPECT_EQ(said, answer == IDYES);
    EXPECT_EQ(restarts, answer == IDYES ? 1 : 0);
  }
}

TEST_F(Dialogs, OptionSheetSavesEveryPageInTabOrderAndCancelWritesNothing) {
  // The printer page lists Wine's real printers; one is the test's.
  ASSERT_TRUE(nvprn::testing::RegisterTestDriver()) << ::GetLastError();
  const std::string printer = corekit::testing::ProcessScratchName("NvSheetPrinter");
  nvprn::testing::TestPrinter added(printer);
  ASSERT_TRUE(added.added()) << added.error();
  // The folder page on a Windows 95 family system, over the test's folder-guard device.
  nv::core::testing::GuardState guard;
  for (const auto& rec :
       {nv::core::testing::RawRecord(0x39, "C:\\DATA*"), nv::core::testing::RawRecord(0x39, "C:\\DATA~1*")})
    guard.deviceRecords.insert(guard.deviceRecords.end(), rec.begin(), rec.end());
  guard.deviceCount = 2;
  nv::ui::OptionSheetHooks hooks = nv::ui::AdPageHooks(os_, nullptr);
  hooks.folderPage = [&guard](const nv::ui::DialogContext& context,
                              CCfginfo&) -> std::unique_ptr<nv::ui::COptionPage> {
    auto device = std::make_unique<CGuardDevice>(nv::core::testing::Windows95Family(),
                                                 std::make_unique<nv::core::testing::FakeGuardDevice>(guard));
    return std::make_unique<nv::ui::CAdFolderPage>(context, std::move(device), nullptr, "C:\\windows",
                                                   &nv::ui::PickFolder);
  };
  const std::string printerTable = kProduct + "\\Printer";

  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "save" : "cancel");
    ASSERT_TRUE(nictest::DeleteScratchTree());
    cfg_.dwOpt = 0x0B;
    cfg_.dwComport = 0;
    cfg_.szNetDrv[0] = "NW-IN";
    cfg_.szNetDrv[1].clear();
    cfg_.dwAutoLogin = 1;
    cfg_.dwAutoChange = 20;
    guard.requests.clear();
    nv::ui::COptionSheet sheet(context_, cfg_, hooks);
    const HWND s = sheet.Create(nullptr);
    ASSERT_NE(s, nullptr);
    Pump();
    EXPECT_EQ(Caption(s), "Advanced Options");
    const HWND tab = ::GetDlgItem(s, IDC_SHEET_TAB);
    EXPECT_EQ(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 5);
    const char* names[] = {"display", "printer", "folder", "network", "manage"};
    HWND pages[5];
    for (int i = 0; i < 5; ++i) {
      ASSERT_NE(sheet.page(i), nullptr);
      pages[i] = sheet.page(i)->hwnd();
      ASSERT_NE(pages[i], nullptr) << names[i];
    }

    // Display page: a long name is cut to 10 characters, the shortcut box cleared, vertical off.
    const HWND disp = pages[0];
    EXPECT_EQ(ItemText(disp, IDC_DISP_NAME_A_LABEL), "INTRANET(ID 1)");
    EXPECT_TRUE(IsChecked(disp, IDC_DISP_V));
    SetText(disp, IDC_DISP_NAME_A, "Headquarters-LAN");
    Click(disp, IDC_DISP_ICON);
    Click(disp, IDC_DISP_H);
    // Network page: COM3, NetWare on B with auto-login, Reverse.
    ::SendMessageW(tab, TCM_SETCURFOCUS, 3, 0);  // as a click on the tab
    Pump();
    const HWND net = pages[3];
    // The sheet itself is not shown yet, so the page's own style tells.
    EXPECT_NE(::GetWindowLongW(net, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(::GetWindowLongW(disp, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_TRUE(IsChecked(net, IDC_NET_COM_NONE));
    EXPECT_TRUE(Enabled(net, IDC_NET_SERVER_A));
    EXPECT_FALSE(Enabled(net, IDC_NET_SERVER_B));
    Click(net, IDC_NET_COM3);
    Click(net, IDC_NET_USE_NETWARE_B);
    EXPECT_TRUE(Enabled(net, IDC_NET_SERVER_B));
    SetText(net, IDC_NET_SERVER_B, "NW-OUT");
    Click(net, IDC_NET_AUTOLOGIN_B);
    Click(net, IDC_NET_REVERSE);
    // Manage page: idle return at the third choice, log on.
    const HWND manage = pages[4];
    EXPECT_TRUE(IsChecked(manage, IDC_MANAGE_IDLE_ON));
    EXPECT_EQ(::SendDlgItemMessageW(manage, IDC_MANAGE_MINUTES, CB_GETCURSEL, 0, 0), 1);  // "20"
    Click(manage, IDC_MANAGE_IDLE_OFF);
    EXPECT_FALSE(Enabled(manage, IDC_MANAGE_MINUTES));
    Click(manage, IDC_MANAGE_IDLE_ON);
    EXPECT_TRUE(Enabled(manage, IDC_MANAGE_MINUTES));
    ::SendDlgItemMessageW(manage, IDC_MANAGE_MINUTES, CB_SETCURSEL, 2, 0);
    Click(manage, IDC_MANAGE_LOG_ON);
    // Printer page: the first opening lists the installed printers; network A is marked.
    ::ShowWindow(s, SW_SHOW);
    ::SendMessageW(tab, TCM_SETCURFOCUS, 1, 0);
    Pump();
    const HWND printers = ::GetDlgItem(pages[1], IDC_PRINT_LIST);
    const int row = listtest::RowOf(printers, printer);
    ASSERT_GE(row, 0);
    EXPECT_EQ(listtest::Cell(printers, row, 1), "[     ]");
    listtest::ClickCell(printers, row, 1);
    EXPECT_EQ(listtest::Cell(printers, row, 1), "[  v  ]");
    EXPECT_EQ(listtest::Cell(printers, row, 2), "[     ]");
    // Folder page: the device's list, one row per folder.
    const HWND folders = ::GetDlgItem(pages[2], IDC_FOLDER_LIST);
    ASSERT_EQ(::SendMessageW(folders, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(listtest::Cell(folders, 0, 0), "C:\\DATA*");
    EXPECT_EQ(listtest::Cell(folders, 0, 3), "NET B");

    if (save) {
      for (int i = 0; i < 5; ++i) {
        ::SendMessageW(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
        Pump();
        for (int k = 0; k < 5; ++k)
          EXPECT_EQ((::GetWindowLongW(pages[k], GWL_STYLE) & WS_VISIBLE) != 0, k == i) << names[k];
        Screenshot(s, std::string("option-") + names[i]);
      }
    }
    Click(s, save ? IDC_SHEET_OK : IDC_SHEET_CANCEL);
    EXPECT_EQ(sheet.result(), save ? IDOK : IDCANCEL);
    const std::string adopt = kProduct + "\\AdOpt";
    if (!save) {
      EXPECT_FALSE(HasValue(adopt, "dwOpt"));
      EXPECT_EQ(cfg_.dwOpt, 0x0Bu);
      EXPECT_FALSE(ReadBinary(printerTable, printer).has_value()) << "no printer table";
      EXPECT_TRUE(std::none_of(guard.requests.begin(), guard.requests.end(),
                               [](const auto& r) { return r.code == nv::core::kGuardSaveList; }));
      continue;
    }
    // 0x02 (display) kept, 0x01 and 0x08 cleared, 0x04 log, 0x10 reverse.
    EXPECT_EQ(ReadNumber(adopt, "dwOpt"), 0x16u);
    EXPECT_EQ(ReadString(adopt, "szNet0"), "Headquarte");
    EXPECT_EQ(ReadString(adopt, "szNet1"), "INTERNET");
    EXPECT_EQ(ReadNumber(adopt, "dwComport"), 3u);
    EXPECT_EQ(ReadString(adopt, "szNetDrv0"), "NW-IN");
    EXPECT_EQ(ReadString(adopt, "szNetDrv1"), "NW-OUT");
    EXPECT_EQ(ReadNumber(adopt, "dwAutoLogin"), 3u);
    EXPECT_EQ(ReadNumber(adopt, "dwAutoChange"), 30u);
    // The printer table is rebuilt with the marks shown; the folder list goes to the device.
    EXPECT_EQ(ReadBinary(printerTable, printer), (std::vector<uint8_t>{1, 0}));
    ASSERT_FALSE(guard.requests.empty());
    EXPECT_EQ(guard.requests.back().code, nv::core::kGuardSaveList);
    EXPECT_EQ(guard.requests.back().records.size(), 2u * nv::core::kFolderRecordSize);
  }
}

// Every value below `path` (of the scratch tree) with its type and bytes, subkeys in order: two
// equal dumps mean a byte-identical store.
std::string DumpTree(const std::string& path) {
  CRegistry key;
  if (!key.Connect(corekit::kHKeyLocalMachine) ||
      !key.Open((nictest::ScratchRoot() + "\\" + path).c_str(), CRegistry::permissionRead))
    return path + " (none)\n";
  std::string dump = "[" + path + "]\n";
  for (uint32_t i = 0;; ++i) {
    std::string name;
    CRegistry::KeyValueTypes type = CRegistry::typeNone;
    std::vector<uint8_t> data(8192);
    uint32_t size = static_cast<uint32_t>(data.size());
    if (!key.EnumerateValues(i, name, type, data.data(), size)) break;
    dump += name + " " + std::to_string(type) + ":";
    for (uint32_t b = 0; b < size; ++b) dump += " " + std::to_string(data[b]);
    dump += "\n";
  }
  std::vector<std::string> subkeys;
  for (uint32_t i = 0;; ++i) {
    std::string name, cls;
    if (!key.EnumerateKeys(i, name, cls)) break;
    subkeys.push_back(name);
  }
  for (const std::string& sub : subkeys) dump += DumpTree(path + "\\" + sub);
  return dump;
}

// A save made to fail part-way through the registry seam: the dialog says so and stays open,
// the store is byte for byte as before, the settings in force are unchanged, and Cancel then
// leaves it all so.
TEST_F(Dialogs, ASaveThatFailsHalfWayLeavesTheStoreAndTheSettingsAndCancelKeepsThem) {
  BuildNT5();
  ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", L"1");
  using Op = regtest::ScriptedRegistryApi::Op;
  struct Case {
    const char* what;
    int passes;  // writes that go through before the one that fails
  } cases[] = {{"IP1Cfg", 4}, {"IP2Cfg", 9}, {"option sheet", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(nictest::DeleteScratchTree());
    ASSERT_TRUE(nictest::CreateKey(kProduct));
    auto registry = std::make_shared<regtest::ScriptedRegistryApi>();
    CCfginfo cfg(registry);
    cfg.SetKeys(nictest::ScratchRoot() + "\\" + kProduct);
    cfg.szNet[0] = "INTRANET";
    cfg.szNet[1] = "INTERNET";
    cfg.dwIPnum = 2;
    cfg.dwOpt = 0x0B;
    cfg.net[0].Gateway = Ip(10, 0, 0, 1);
    cfg.net[1].IPAddr = Ip(172, 16, 0, 9);
    cfg.net[0].szNetDev = cfg.net[1].szNetDev = "Intel PRO/1000";
    ASSERT_TRUE(cfg.SaveNetworks(os_));
    ASSERT_TRUE(cfg.SaveOptions());
    const std::string before = DumpTree(kProduct);
    const NetworkSettings networks = cfg.Networks();
    const OptionSettings options = cfg.Options();
    const auto unchanged = [&] {
      EXPECT_EQ(DumpTree(kProduct), before);
      const NetworkSettings n = cfg.Networks();
      EXPECT_TRUE(n.net[0] == networks.net[0] && n.net[1] == networks.net[1] &&
                  n.dwIPnum == networks.dwIPnum);
      const OptionSettings o = cfg.Options();
      EXPECT_EQ(o.dwOpt, options.dwOpt);
      EXPECT_EQ(o.szNet[0], options.szNet[0]);
      EXPECT_EQ(o.dwComport, options.dwComport);
    };

    std::unique_ptr<nv::ui::CDialogBase> dialog;
    int ok = IDOK, cancel = IDCANCEL;
    const auto nics = ScratchNics(nv::core::NicFamily::kNT5, descsNT5);
    if (std::string(c.what) == "IP1Cfg") {
      dialog = std::make_unique<nv::ui::CIp1CfgDialog>(context_, cfg, os_, nics);
    } else if (std::string(c.what) == "IP2Cfg") {
      dialog = std::make_unique<nv::ui::CIp2CfgDialog>(context_, cfg, os_, nics);
    } else {
      dialog = std::make_unique<nv::ui::COptionSheet>(context_, cfg);
      ok = IDC_SHEET_OK;
      cancel = IDC_SHEET_CANCEL;
    }
    const HWND d = dialog->Create(nullptr);
    ASSERT_NE(d, nullptr);
    Pump();
    if (std::string(c.what) == "IP1Cfg") SetIp(d, IDC_IP_GATEWAY_A, Ip(10, 9, 9, 9));
    if (std::string(c.what) == "IP2Cfg") SetIp(d, IDC_IP2_ADDRESS_B, Ip(172, 16, 9, 9));
    if (std::string(c.what) == "option sheet") {
      auto* sheet = static_cast<nv::ui::COptionSheet*>(dialog.get());
      SetText(sheet->page(0)->hwnd(), IDC_DISP_NAME_A, "Elsewhere");
      Click(sheet->page(0)->hwnd(), IDC_DISP_ICON);
    }
    registry->Script(Op::SetValue, regtest::ScriptedRegistryApi::kPass, c.passes);
    registry->Script(Op::SetValue, 5 /* access denied */, 1);
    ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(ok, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(dialog->result(), 0) << "the dialog stays open";
    EXPECT_TRUE(::IsWindow(d));
    EXPECT_GT(registry->Calls(Op::SetValue), c.passes) << "the failure came part-way through the save";
    unchanged();
    ::SendMessageW(d, WM_COMMAND, MAKEWPARAM(cancel, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(dialog->result(), IDCANCEL);
    unchanged();
  }
}

class FixedVersion : public nv::ui::IVersionSource {
 public:
  bool Read(const std::string&, nv::ui::FileVersion& out) override {
    out = {2, 1, 7};
    return true;
  }
};

TEST_F(Dialogs, AboutBoxShowsTheVersionLineAndClosesAsOk) {
  FixedVersion version;
  nv::ui::CAboutBox about(context_, version);
  const HWND d = about.Create(nullptr);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(ItemText(d, IDC_ABOUT_TITLE), "About Netvane");
  EXPECT_EQ(ItemText(d, IDC_ABOUT_VERSION), "Netvane Version 2.1 (Build 0007)");
  EXPECT_EQ(ItemText(d, IDOK), "Close");
  EXPECT_FALSE(ItemText(d, IDC_ABOUT_WEB).empty());
  // The outline comes from the background bitmap: its magenta bottom corners are cut away; the
  // caption keeps its square corners.
  RECT frame{};
  ::GetWindowRect(d, &frame);
  HRGN outline = ::CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(::GetWindowRgn(d, outline), ERROR);
  EXPECT_TRUE(::PtInRegion(outline, 0, 0));
  EXPECT_TRUE(::PtInRegion(outline, frame.right - frame.left - 1, 0));
  EXPECT_FALSE(::PtInRegion(outline, 0, frame.bottom - frame.top - 1));
  EXPECT_FALSE(::PtInRegion(outline, frame.right - frame.left - 1, frame.bottom - frame.top - 1));
  EXPECT_TRUE(::PtInRegion(outline, (frame.right - frame.left) / 2, 0));
  EXPECT_TRUE(::PtInRegion(outline, (frame.right - frame.left) / 2, (frame.bottom - frame.top) / 2));
  ::DeleteObject(outline);
  Screenshot(d, "about");
  Click(d, IDOK);
  EXPECT_EQ(about.result(), IDOK);

  // The real reader: this test program has no version resource.
  nv::ui::FileVersionSource files;
  nv::ui::FileVersion read;
  EXPECT_FALSE(files.Read("no-such-file.exe", read));
}

// Every dialog and page with the Korean string file: the texts in Hangul, drawn in a face that
// has its glyphs (the file's own, or one the system has), one checked screenshot each.
TEST_F(Dialogs, EveryDialogAndPageInKorean) {
  CIniFile korean;
  const std::string english = strings_.GetPath();
  korean.SetPath(english.substr(0, english.size() - std::string("ENG.ini").size()) + "KOR.ini");
  ASSERT_TRUE(korean.ReadFile()) << korean.GetPath();
  nv::ui::DialogContext context{resources_, &korean};
  BuildNT5();
  cfg_.szNet[0] = "내부망";
  cfg_.szNet[1] = "외부망";
  cfg_.net[0].szNetDev = "Intel PRO/1000";
  {
    nv::ui::CIp1CfgDialog dialog(context, cfg_, os_, ScratchNics(nv::core::NicFamily::kNT5, descsNT5));
    const HWND d = dialog.Create(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ItemText(d, IDC_IP_ADAPTER_GROUP), "랜카드");
    Screenshot(d, "ip1cfg", true);
  }
  {
    nv::ui::CIp2CfgDialog dialog(context, cfg_, os_, ScratchNics(nv::core::NicFamily::kNT5, descsNT5));
    const HWND d = dialog.Create(nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(ItemText(d, IDC_IP_ADAPTER_GROUP), "랜카드");
    Screenshot(d, "ip2cfg", true);
  }
  {
    nv::ui::COptionSheet sheet(context, cfg_, nv::ui::AdPageHooks(os_, nullptr));
    const HWND s = sheet.Create(nullptr);
    ASSERT_NE(s, nullptr);
    ::ShowWindow(s, SW_SHOW);
    const HWND tab = ::GetDlgItem(s, IDC_SHEET_TAB);
    const char* names[] = {"display", "printer", "folder", "network", "manage"};
    for (int i = 0; i < 5; ++i) {
      ::SendMessageW(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(i), 0);
      Pump();
      Screenshot(s, std::string("option-") + names[i], true);
    }
  }
  {
    FixedVersion version;
    nv::ui::CAboutBox about(context, version);
    const HWND d = about.Create(nullptr);
    ASSERT_NE(d, nullptr);
    Screenshot(d, "about", true);
  }
  std::thread asker([&] { nv::ui::AskReboot(nullptr, korean, "Netvane", [] {}); });
  HWND box = nullptr;
  for (int i = 0; i < 200 && box == nullptr; ++i) {
    ::Sleep(50);
    box = ::FindWindowW(L"#32770", L"Netvane");
  }
  if (box != nullptr) {
    Screenshot(box, "reboot", true, false);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  }
  asker.join();
  EXPECT_NE(box, nullptr);
}

}  // namespace
