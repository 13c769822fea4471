// The tray icon against the real notification area (Wine's, on the test display).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netvane/system_tray.h"
#include "platform/windows_api.h"

#include <shellapi.h>  // after windows.h, which it needs

namespace {

constexpr UINT kCallback = WM_APP + 1;
constexpr UINT kId = 128;

std::vector<WPARAM> g_commands;

LRESULT CALLBACK ParentProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) g_commands.push_back(wParam);
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

// Asks the shell directly whether it still knows the icon: a modification only succeeds then.
bool ShellKnowsIcon(HWND target) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = target;
  data.uID = kId;
  data.uFlags = NIF_TIP;
  wcscpy(data.szTip, L"probe");
  return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class SystemTrayWine : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"NvTrayTestParent";
    ::RegisterClassW(&wc);
    parent_ = ::CreateWindowW(L"NvTrayTestParent", L"Netvane", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
    g_commands.clear();
    icon_ = reinterpret_cast<TrayIconHandle>(::LoadIconW(nullptr, IDI_APPLICATION));
  }
  void TearDown() override { ::DestroyWindow(parent_); }

  HWND Target() const { return reinterpret_cast<HWND>(tray_.TargetWindow()); }

  HWND parent_ = nullptr;
  TrayIconHandle icon_ = 0;
  CSystemTray tray_{CreatePlatformTrayShell()};
};

}  // namespace

TEST_F(SystemTrayWine, AddChangeTipAndRemove) {
  ASSERT_TRUE(tray_.Create(reinterpret_cast<std::uintptr_t>(parent_), kCallback, "Netvane", icon_, kId));
  EXPECT_TRUE(tray_.IsEnabled());
  ASSERT_FALSE(tray_.IsHidden()) << "the shell refused the icon";
  EXPECT_TRUE(ShellKnowsIcon(Target()));

  const std::string tip63(63, 'N');
  EXPECT_TRUE(tray_.SetTooltipText(tip63));
  EXPECT_EQ(tray_.GetTooltipText(), tip63);
  EXPECT_TRUE(tray_.SetTooltipText(tip63 + "overflow"));
  EXPECT_EQ(tray_.GetTooltipText(), tip63);
  EXPECT_TRUE(tray_.SetIcon(reinterpret_cast<TrayIconHandle>(::LoadIconW(nullptr, IDI_INFORMATION))));

  EXPECT_TRUE(tray_.RemoveIcon());
  EXPECT_FALSE(ShellKnowsIcon(Target()));
  EXPECT_TRUE(tray_.ShowIcon());
  EXPECT_TRUE(ShellKnowsIcon(Target()));
}

TEST_F(SystemTrayWine, TaskbarCreatedBringsALostIconBack) {
  ASSERT_TRUE(tray_.Create(reinterpret_cast<std::uintptr_t>(parent_), kCallback, "Netvane", icon_, kId));
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V1_SIZE;
  data.hWnd = Target();
  data.uID = kId;
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));  // as if the taskbar had gone
  ASSERT_FALSE(ShellKnowsIcon(Target()));
  ::SendMessageW(Target(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(ShellKnowsIcon(Target()));

  // The broadcast again while the shell still holds the icon: it stays known as shown.
  ::SendMessageW(Target(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_FALSE(tray_.IsHidden());
  EXPECT_TRUE(ShellKnowsIcon(Target()));
}

TEST_F(SystemTrayWine, DoubleClickSendsTheDefaultCommandToTheParent) {
  ASSERT_TRUE(tray_.Create(reinterpret_cast<std::uintptr_t>(parent_), kCallback, "Netvane", icon_, kId));
  tray_.SetMenuItems({{5001, "About"}, {0, ""}, {5003, "Change"}, {5007, "Exit"}});
  tray_.SetMenuDefaultItem(2, true);
  ::SendMessageW(Target(), kCallback, kId + 1, WM_LBUTTONDBLCLK);  // another icon's
  EXPECT_TRUE(g_commands.empty());
  ::SendMessageW(Target(), kCallback, kId, WM_LBUTTONDBLCLK);
  EXPECT_EQ(g_commands, (std::vector<WPARAM>{5003}));
}

namespace {
bool g_menuSeen = false;
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  if (menu != nullptr && ::IsWindowVisible(menu)) g_menuSeen = true;
  ::EndMenu();
}
}  // namespace

TEST_F(SystemTrayWine, RightClickOpensThePopupMenu) {
  ASSERT_TRUE(tray_.Create(reinterpret_cast<std::uintptr_t>(parent_), kCallback, "Netvane", icon_, kId));
  tray_.SetMenuItems({{5001, "About"}, {5007, "Exit"}});
  g_menuSeen = false;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, CloseMenu);
  ::SendMessageW(Target(), kCallback, kId, WM_RBUTTONUP);  // returns when the menu closes
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(g_menuSeen);
  EXPECT_TRUE(g_commands.empty());  // closed without a choice
}

TEST(SystemTrayResourceMenu, DoubleClickRunsTheDefaultItemOfTheLibrarysMenuWithTheIconsId) {
  HMODULE resources = ::LoadLibraryW(L"NvRes.dll");
  ASSERT_NE(resources, nullptr) << "NvRes.dll not found beside the test";
  WNDCLASSW wc{};
  wc.lpfnWndProc = ParentProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"NvTrayTestParent";
  ::RegisterClassW(&wc);
  HWND parent = ::CreateWindowW(L"NvTrayTestParent", L"Netvane", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, wc.hInstance, nullptr);
  {
    CSystemTray tray(CreatePlatformTrayShell(reinterpret_cast<std::uintptr_t>(resources)));
    ASSERT_TRUE(tray.Create(reinterpret_cast<std::uintptr_t>(parent), kCallback, "Netvane",
                            reinterpret_cast<TrayIconHandle>(::LoadIconW(resources, MAKEINTRESOURCEW(128))),
                            kId));
    HWND target = reinterpret_cast<HWND>(tray.TargetWindow());
    g_commands.clear();
    ::SendMessageW(target, kCallback, kId, WM_LBUTTONDBLCLK);  // default: the first item
    tray.SetMenuDefaultItem(3, true);                          // the frame makes "change" the default
    ::SendMessageW(target, kCallback, kId, WM_LBUTTONDBLCLK);
    EXPECT_EQ(g_commands, (std::vector<WPARAM>{5001, 5003}));
  }
  ::DestroyWindow(parent);
  ::FreeLibrary(resources);
}
