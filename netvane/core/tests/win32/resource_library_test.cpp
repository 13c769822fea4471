// NvRes.dll as the tray program uses it: its resource module for texts, icons, menu, dialogs and
// bitmaps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corekit/ini_file.h"
#include "corekit/module_string_source.h"
#include "netvane/string_keys.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <commctrl.h>  // after windows.h, which it needs

namespace {

class ResourceLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = ::LoadLibraryW(L"NvRes.dll");
    INITCOMMONCONTROLSEX controls{
        sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&controls);
  }
  static void TearDownTestSuite() { ::FreeLibrary(module_); }
  void SetUp() override { ASSERT_NE(module_, nullptr) << "NvRes.dll not found beside the test"; }

  static std::string String(unsigned id) {
    wchar_t buf[512] = {};
    const int n = ::LoadStringW(module_, id, buf, 512);
    return nv::text::Narrow(std::wstring(buf, n > 0 ? n : 0));
  }

  static HMODULE module_;
};
HMODULE ResourceLibrary::module_ = nullptr;

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

TEST_F(ResourceLibrary, HoldsTextsOneToSeventyAndTheFrameTitle) {
  for (unsigned id = 1; id <= 70; ++id) EXPECT_FALSE(String(id).empty()) << id;
  EXPECT_EQ(String(IDR_NETVANE), "Netvane");
  // Messages keep the two-character line-break mark for the reader to replace.
  EXPECT_NE(String(58).find("\\n"), std::string::npos);
}

TEST_F(ResourceLibrary, FillsInEveryTextTheStringFileLacks) {
  CModuleStringSource source(module_);
  SetStringSource(&source);
  CIniFile empty;  // no file: every lookup falls back
  for (const auto& k : nv::strings::kTrayProgramKeys) {
    if (k.resourceId == 0) continue;
    SCOPED_TRACE(std::string(k.section) + "/" + k.key);
    EXPECT_EQ(empty.GetValue(k.section, k.key, k.resourceId), String(k.resourceId));
    EXPECT_FALSE(String(k.resourceId).empty());
  }
  EXPECT_EQ(empty.GetValue("CommonStr", "szNetB", nv::strings::kNetB.resourceId), "Network B");
  SetStringSource(nullptr);
}

TEST_F(ResourceLibrary, HoldsTheProgramAndNetworkIconsInBothSizes) {
  for (int id : {IDR_NETVANE, IDI_NETWORK_A, IDI_NETWORK_B}) {
    for (int size : {16, 32}) {
      HANDLE icon = ::LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
      EXPECT_NE(icon, nullptr) << id << " at " << size;
      if (icon != nullptr) ::DestroyIcon(static_cast<HICON>(icon));
    }
  }
}

TEST_F(ResourceLibrary, TrayMenuListsTheSevenCommandsInOrder) {
  HMENU menu = ::LoadMenuW(module_, MAKEINTRESOURCEW(IDR_NETVANE));
  ASSERT_NE(menu, nullptr);
  HMENU popup = ::GetSubMenu(menu, 0);
  ASSERT_NE(popup, nullptr);
  std::vector<int> ids;
  for (int i = 0; i < ::GetMenuItemCount(popup); ++i)
    ids.push_back(static_cast<int>(::GetMenuItemID(popup, i)));
  // Separators report 0.
  EXPECT_EQ(ids, (std::vector<int>{5001, 5002, 0, 5003, 0, 5004, 5005, 5006, 0, 5007}));
  ::DestroyMenu(menu);
}

TEST_F(ResourceLibrary, DialogTemplatesCreateWithTheirControls) {
  HWND host =
      ::CreateWindowW(L"STATIC", L"host", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
  struct Case {
    int id;
    std::vector<int> controls;
  } cases[] = {
      {IDD_ABOUT, {IDC_ABOUT_TITLE, IDC_ABOUT_VERSION, IDOK}},
      {IDD_AD_SHEET, {IDC_SHEET_TAB, IDC_SHEET_OK, IDC_SHEET_CANCEL}},
      {IDD_AD_DISPLAY,
       {IDC_DISP_NAME_A, IDC_DISP_NAME_B, IDC_DISP_ICON, IDC_DISP_NETWORK, IDC_DISP_H, IDC_DISP_V}},
      {IDD_AD_NETWORK,
       {1062, 1063, 1064, 1065, 1066, 1067, 1068, 1069, 1070, 1071, 1073, 1074, 1075, 1076, 1077, 1117}},
      {IDD_AD_MANAGE, {1080, 1081, 1082, 1083, 1084}},
      {IDD_AD_FOLDER, {1085, 1086, 1087, 1088, 1090, 1091, 1092, 1093, 1094, 1096, 1097, 1099}},
      {IDD_AD_PRINT, {1098, 1100}},
      {IDD_NETWARE_LOGON, {IDC_LOGON_USER, IDC_LOGON_SERVER, IDC_LOGON_PASSWORD, IDOK, IDCANCEL}},
      {IDD_IP1CFG, {IDC_IP_ADAPTER, IDC_IP_GATEWAY_A, IDC_IP_GATEWAY_B, IDC_IP_SAME_GW, IDOK, IDCANCEL}},
      {IDD_IP2CFG,
       {IDC_IP_ADAPTER, IDC_IP_RELOAD, IDC_IP2_CLEAR, IDC_IP2_DHCP_A, IDC_IP2_ADDRESS_A, IDC_IP2_MASK_A,
        IDC_IP2_GATEWAY_A, IDC_IP2_DNS_A, IDC_IP2_DOMAIN_A, IDC_IP2_DHCP_B, IDC_IP2_ADDRESS_B, IDC_IP2_MASK_B,
        IDC_IP2_GATEWAY_B, IDC_IP2_DNS_B, IDC_IP2_DOMAIN_B, IDOK, IDCANCEL}},
      {IDD_PROGRESS, {IDC_PROGRESS_TEXT1, IDC_PROGRESS_TEXT2, IDC_PROGRESS_BAR}},
      {IDD_UPDATE, {IDC_UPDATE_SERVER, IDC_UPDATE_TOTAL, IDC_UPDATE_START, IDC_UPDATE_STOP}},
      {IDD_UPDATE_SERVER, {IDC_SERVER_NAME, IDC_SERVER_ADDR, IDC_SERVER_USER, IDC_SERVER_PASS}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    HWND dialog = ::CreateDialogParamW(module_, MAKEINTRESOURCEW(c.id), host, QuietDialog, 0);
    ASSERT_NE(dialog, nullptr);
    for (int control : c.controls) EXPECT_NE(::GetDlgItem(dialog, control), nullptr) << "control " << control;
    ::DestroyWindow(dialog);
  }
  ::DestroyWindow(host);
}

TEST_F(ResourceLibrary, SkinBitmapsLoadAndStateStripsSplitEvenly) {
  HANDLE background = ::LoadImageW(module_, MAKEINTRESOURCEW(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, 0);
  ASSERT_NE(background, nullptr);
  BITMAP info{};
  ::GetObjectW(background, sizeof info, &info);
  EXPECT_GT(info.bmWidth, 0);
  ::DeleteObject(background);
  const std::pair<int, int> strips[] = {{IDB_BUTTON, 4}, {IDB_CHECK, 4}, {IDB_RADIO, 2}};
  for (const auto& [id, states] : strips) {
    HANDLE strip = ::LoadImageW(module_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0);
    ASSERT_NE(strip, nullptr) << id;
    ::GetObjectW(strip, sizeof info, &info);
    EXPECT_EQ(info.bmWidth % states, 0) << id;
    ::DeleteObject(strip);
  }
}
