// What CSystemTray needs from the platform: its hidden target window, the shell's notification
// area, a timer and the popup menu.  Win32 implements it over Shell_NotifyIcon; tests fake it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSystemTray;

// An icon handle (HICON on Windows), kept as a number outside the platform code.
using TrayIconHandle = std::uintptr_t;

// The notification-area record of one icon.
struct TrayRecord {
  std::uint32_t id = 0;
  std::uint32_t callbackMessage = 0;
  TrayIconHandle icon = 0;
  std::string tip;  // UTF-8, at most kTrayTipUnits UTF-16 units
};

// Which fields a modification touches (the shell's NIF_ flags).
enum TrayFields : unsigned { kTrayMessage = 0x1, kTrayIcon = 0x2, kTrayTip = 0x4 };

// One popup menu item; command 0 is a separator.
struct TrayMenuItem {
  std::uint32_t command = 0;
  std::string text;
};

// The menu the icon opens: the items given, or else the first submenu of the menu resource
// whose id is the icon id; `defaultItem` is an index when `byPosition`, else a command id.
struct TrayMenu {
  std::vector<TrayMenuItem> items;
  std::uint32_t resourceId = 0;
  std::uint32_t defaultItem = 0;
  bool byPosition = true;
};

class TrayShell {
 public:
  virtual ~TrayShell() = default;

  virtual unsigned WindowsMajorVersion() = 0;
  // Creates the invisible target window whose messages go to `tray`; it forwards menu commands
  // to `parent` (an HWND as a number, may be 0).
  virtual bool CreateTargetWindow(CSystemTray& tray, std::uintptr_t parent) = 0;
  virtual void DestroyTargetWindow() = 0;
  virtual std::uintptr_t TargetWindow() const = 0;

  virtual bool NotifyAdd(const TrayRecord& record) = 0;  // message, icon and tip
  virtual bool NotifyModify(const TrayRecord& record, unsigned fields) = 0;
  virtual bool NotifyDelete(const TrayRecord& record) = 0;

  virtual void SetTimer(unsigned id, unsigned ms) = 0;
  virtual void KillTimer(unsigned id) = 0;
  virtual std::uint32_t TickCount() = 0;

  // Right click: shows the menu at the cursor with its default item bold.
  virtual void ShowMenu(const TrayMenu& menu) = 0;
  // Double click: sends the menu's default command to the parent; false when it has none.
  virtual bool RunDefaultCommand(const TrayMenu& menu) = 0;
};

// The platform's shell.  `resourceModule` (an HMODULE as a number, 0 = the program) holds the
// menu resources.  Natively there is no notification area: the shell reports version 0, so
// CSystemTray::Create fails and the tray does nothing.
std::unique_ptr<TrayShell> CreatePlatformTrayShell(std::uintptr_t resourceModule = 0);
