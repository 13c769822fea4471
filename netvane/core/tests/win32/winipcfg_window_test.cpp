// The Windows 95 address tool driven through its controls, against a small window of our own
// that has the tool's class name and control ids.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"
#include "nvutil/net_util.h"
#include "platform/windows_api.h"

namespace {

constexpr int kList = 115, kAdapterAddress = 134, kIpAddress = 135, kRelease = 144, kRenew = 145;

struct FakeTool {
  std::vector<std::wstring> macs = {L"00-11-22-33-44-55", L"02-6E-76-00-00-01"};
  std::wstring ip = L"10.1.1.5";
  std::vector<int> pressed;
  HWND window = nullptr;
};
FakeTool* g_tool = nullptr;

void ShowSelected(HWND w) {
  const int sel = static_cast<int>(::SendDlgItemMessageW(w, kList, CB_GETCURSEL, 0, 0));
  ::SetDlgItemTextW(w, kAdapterAddress, g_tool->macs[sel < 0 ? 0 : sel].c_str());
}

LRESULT CALLBACK ToolProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND) {
    const int id = LOWORD(wp);
    if (id == kList && HIWORD(wp) == 9) ShowSelected(w);
    if ((id == kRelease || id == kRenew) && HIWORD(wp) == BN_CLICKED) g_tool->pressed.push_back(id);
    return 0;
  }
  return ::DefWindowProcW(w, msg, wp, lp);
}

HWND Child(HWND parent, const wchar_t* cls, int id, DWORD style = 0) {
  return ::CreateWindowExW(0, cls, L"", WS_CHILD | style, 0, 0, 100, 100, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                           nullptr);
}

void OpenFakeTool(FakeTool& tool, bool releaseEnabled) {
  g_tool = &tool;
  WNDCLASSW wc{};
  wc.lpfnWndProc = ToolProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"WinIpCfgClass";
  ::RegisterClassW(&wc);
  tool.window = ::CreateWindowExW(0, L"WinIpCfgClass", L"IP Configuration", WS_OVERLAPPED, 0, 0, 200, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(tool.window, nullptr);
  const HWND list = Child(tool.window, L"COMBOBOX", kList, CBS_DROPDOWNLIST);
  for (const auto& m : tool.macs) ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m.c_str()));
  ::SendMessageW(list, CB_SETCURSEL, 0, 0);
  Child(tool.window, L"EDIT", kAdapterAddress);
  Child(tool.window, L"EDIT", kIpAddress);
  ::SetDlgItemTextW(tool.window, kIpAddress, tool.ip.c_str());
  ::EnableWindow(Child(tool.window, L"BUTTON", kRelease), releaseEnabled);
  Child(tool.window, L"BUTTON", kRenew);
  ShowSelected(tool.window);
}

class NoWaits : public nv::core::ChangeIpEnvironment {
 public:
  void Sleep(uint32_t) noexcept override {}
  bool RunTool(const std::string&, const std::string&, uint32_t) noexcept override { return false; }
  nv::core::IWinIpCfgWindow* WinIpCfg() noexcept override { return nv::core::SystemWinIpCfgWindow(); }
};

class NoEmulation : public nv::core::IDhcpEmulation {
 public:
  int DrvOpen() noexcept override { return 1; }
  int SetStartDHCP(const _uIPINFO&) noexcept override { return 1; }
  int SetEndDHCP() noexcept override { return 1; }
  int DrvClose() noexcept override { return 1; }
  std::string RemoveStale(const unsigned char (&)[6]) noexcept override { return {}; }
};

std::vector<int> RenewThroughTheTool(FakeTool& tool, bool releaseEnabled) {
  OpenFakeTool(tool, releaseEnabled);
  CCfginfo cfg;
  NoWaits env;
  CChangeIP ip(cfg, nv::core::OsFacts{"WIN95", 4}, std::make_unique<CNetUtil>(),
               std::make_unique<NoEmulation>(), env);
  NetCfgRecord record;
  record.useDhcp = 1;
  record.ucMacAddr = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};
  ip.ChangeIPbyDHCP(record);
  std::vector<int> pressed = tool.pressed;
  ::DestroyWindow(tool.window);
  return pressed;
}

}  // namespace

TEST(WinIpCfgWindow, FindsOurAdapterInTheListThenReleasesAndRenews) {
  FakeTool tool;
  EXPECT_EQ(RenewThroughTheTool(tool, true), (std::vector<int>{kRelease, kRenew}));
}

TEST(WinIpCfgWindow, NoAddressHeldMeansRenewOnly) {
  FakeTool tool;
  tool.ip = L"0.0.0.0";
  EXPECT_EQ(RenewThroughTheTool(tool, true), (std::vector<int>{kRenew}));
}

TEST(WinIpCfgWindow, DisabledReleaseOrAnUnlistedAdapterPressesNothing) {
  FakeTool disabled;
  EXPECT_TRUE(RenewThroughTheTool(disabled, false).empty());
  FakeTool other;
  other.macs = {L"00-11-22-33-44-55", L"aa-bb-cc-dd-ee-ff"};
  EXPECT_TRUE(RenewThroughTheTool(other, true).empty());
}
