// CSystemTray: the program's icon in the notification area, with its tip, popup menu and
// icon animation.
//
// Lifecycle: Create adds the icon (a failed add leaves it off the taskbar for ShowIcon or the
// taskbar's return to retry) -> SetIcon / SetTooltipText / HideIcon / ShowIcon -> RemoveIcon or
// destruction.  The last icon and tip are kept, so a re-add shows them again.
//
// Two reasons keep the icon off the taskbar and are kept apart: hidden on purpose (HideIcon,
// RemoveIcon; only ShowIcon brings it back) and an add that failed (the taskbar was not up, or
// went away): every "TaskbarCreated" adds that one again.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netvane/tray_shell.h"

// The tip holds 64 UTF-16 units with the terminating NUL.
inline constexpr std::size_t kTrayTipUnits = 63;

// `text` cut to at most kTrayTipUnits UTF-16 units, never inside a character.
std::string CutTrayTip(const std::string& text);

class CSystemTray {
 public:
  static constexpr unsigned kAnimationTimer = 4567;

  explicit CSystemTray(std::unique_ptr<TrayShell> shell);
  ~CSystemTray();
  CSystemTray(const CSystemTray&) = delete;
  CSystemTray& operator=(const CSystemTray&) = delete;

  // False (and the tray disabled) on Windows before version 4 or without a target window.
  bool Create(std::uintptr_t parent, std::uint32_t callbackMessage, const std::string& tip,
              TrayIconHandle icon, std::uint32_t id);

  bool RemoveIcon();
  bool HideIcon();
  bool ShowIcon();
  bool SetIcon(TrayIconHandle icon);
  bool SetTooltipText(const std::string& text);

  // The popup menu: the given items instead of the menu resource with the icon id.
  void SetMenuItems(std::vector<TrayMenuItem> items);
  void SetMenuDefaultItem(std::uint32_t item, bool byPosition);

  // Animation through `icons` every `delayMs`; after `durationSeconds` (0 = until stopped) the
  // icon shown before returns.
  void SetIconList(std::vector<TrayIconHandle> icons);
  bool Animate(unsigned delayMs, int durationSeconds);
  void StepAnimation();
  void StopAnimation();

  bool IsEnabled() const { return m_enabled; }
  // Not on the taskbar, for either reason.
  bool IsHidden() const { return !m_shown; }
  const std::string& GetTooltipText() const { return m_record.tip; }
  TrayIconHandle GetIcon() const { return m_record.icon; }
  std::uintptr_t TargetWindow() const { return m_shell->TargetWindow(); }

  // Called by the target window.
  void OnTrayNotification(std::uint32_t id, std::uint32_t mouseMessage);
  void OnTaskbarCreated();
  void OnTimer(unsigned id);

 private:
  bool AddIcon();
  TrayMenu Menu() const;

  std::unique_ptr<TrayShell> m_shell;
  TrayRecord m_record;
  bool m_enabled = false;
  bool m_shown = false;            // the shell holds our icon
  bool m_hiddenOnPurpose = false;  // HideIcon or RemoveIcon took it away
  bool m_created = false;

  std::vector<TrayIconHandle> m_animationIcons;
  std::size_t m_animationIndex = 0;
  bool m_animating = false;
  std::uint32_t m_animationStart = 0;
  int m_animationSeconds = 0;
  TrayIconHandle m_iconBeforeAnimation = 0;

  std::vector<TrayMenuItem> m_menuItems;
  std::uint32_t m_defaultMenuItem = 0;
  bool m_defaultByPosition = true;
};

// Mouse messages the icon reacts to (the platform's WM_ values).
inline constexpr std::uint32_t kTrayRightButtonUp = 0x0205;
inline constexpr std::uint32_t kTrayLeftButtonDoubleClick = 0x0203;
