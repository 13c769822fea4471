#include "netvane/system_tray.h"

#include "platform/text.h"

std::string CutTrayTip(const std::string& text) {
  std::u16string units = nv::text::Utf8ToUtf16(text);
  if (units.size() <= kTrayTipUnits) return text;
  std::size_t keep = kTrayTipUnits;
  // A surrogate pair that would straddle the limit goes whole.
  if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;
  units.resize(keep);
  return nv::text::Utf16ToUtf8(units);
}

CSystemTray::CSystemTray(std::unique_ptr<TrayShell> shell) : m_shell(std::move(shell)) {}

CSystemTray::~CSystemTray() {
  if (m_animating) m_shell->KillTimer(kAnimationTimer);
  RemoveIcon();
  if (m_created) m_shell->DestroyTargetWindow();
}

bool CSystemTray::Create(std::uintptr_t parent, std::uint32_t callbackMessage, const std::string& tip,
                         TrayIconHandle icon, std::uint32_t id) {
  m_enabled = false;
  if (m_shell->WindowsMajorVersion() < 4) return false;
  if (!m_created) {
    if (!m_shell->CreateTargetWindow(*this, parent)) return false;
    m_created = true;
  }
  m_record.id = id;
  m_record.callbackMessage = callbackMessage;
  m_record.icon = icon;
  m_record.tip = CutTrayTip(tip);
  m_enabled = true;
  m_hiddenOnPurpose = false;
  AddIcon();
  return true;
}

bool CSystemTray::AddIcon() {
  m_shown = m_shell->NotifyAdd(m_record);
  return m_shown;
}

bool CSystemTray::RemoveIcon() {
  if (!m_enabled || !m_shown) return false;
  m_shown = false;
  m_hiddenOnPurpose = true;  // so that the taskbar's return does not bring it back; ShowIcon does
  return m_shell->NotifyDelete(m_record);
}

bool CSystemTray::HideIcon() { return RemoveIcon(); }

bool CSystemTray::ShowIcon() {
  if (!m_enabled || m_shown) return false;
  m_hiddenOnPurpose = false;
  return AddIcon();
}

bool CSystemTray::SetIcon(TrayIconHandle icon) {
  if (!m_enabled) return false;
  m_record.icon = icon;
  // While off the taskbar the record alone changes; the next add shows this icon.
  return !m_shown || m_shell->NotifyModify(m_record, kTrayIcon);
}

bool CSystemTray::SetTooltipText(const std::string& text) {
  if (!m_enabled) return false;
  m_record.tip = CutTrayTip(text);
  return !m_shown || m_shell->NotifyModify(m_record, kTrayTip);
}

void CSystemTray::SetMenuItems(std::vector<TrayMenuItem> items) { m_menuItems = std::move(items); }

void CSystemTray::SetMenuDefaultItem(std::uint32_t item, bool byPosition) {
  m_defaultMenuItem = item;
  m_defaultByPosition = byPosition;
}

TrayMenu CSystemTray::Menu() const {
  TrayMenu menu;
  menu.items = m_menuItems;
  menu.resourceId = m_record.id;
  menu.defaultItem = m_defaultMenuItem;
  menu.byPosition = m_defaultByPosition;
  return menu;
}

void CSystemTray::SetIconList(std::vector<TrayIconHandle> icons) { m_animationIcons = std::move(icons); }

bool CSystemTray::Animate(unsigned delayMs, int durationSeconds) {
  if (!m_enabled || m_animationIcons.empty()) return false;
  if (!m_animating) m_iconBeforeAnimation = m_record.icon;
  m_animationIndex = 0;
  m_animationStart = m_shell->TickCount();
  m_animationSeconds = durationSeconds;
  m_animating = true;
  m_shell->SetTimer(kAnimationTimer, delayMs);
  return true;
}

void CSystemTray::StepAnimation() {
  if (m_animationIcons.empty()) return;
  m_animationIndex = (m_animationIndex + 1) % m_animationIcons.size();
  SetIcon(m_animationIcons[m_animationIndex]);
}

void CSystemTray::StopAnimation() {
  if (!m_animating) return;
  m_shell->KillTimer(kAnimationTimer);
  m_animating = false;
  SetIcon(m_iconBeforeAnimation);
}

void CSystemTray::OnTimer(unsigned id) {
  if (id != kAnimationTimer || !m_animating) return;
  const std::uint32_t elapsedSeconds = (m_shell->TickCount() - m_animationStart) / 1000;
  if (m_animationSeconds > 0 && elapsedSeconds >= static_cast<std::uint32_t>(m_animationSeconds)) {
    StopAnimation();
  } else {
    StepAnimation();
  }
}

void CSystemTray::OnTaskbarCreated() {
  // The new taskbar has no icons: add ours again with the last icon and tip, also when an
  // earlier add failed (the taskbar was not up yet); only an icon hidden on purpose stays away.
  if (!m_enabled || m_hiddenOnPurpose) return;
  if (AddIcon()) return;
  // The broadcast also comes while the shell still holds our icon, and then the add fails: an
  // update that succeeds shows it is there, so later changes are not kept from it.
  m_shown = m_shell->NotifyModify(m_record, kTrayMessage | kTrayIcon | kTrayTip);
}

void CSystemTray::OnTrayNotification(std::uint32_t id, std::uint32_t mouseMessage) {
  if (!m_enabled || id != m_record.id) return;
  if (mouseMessage == kTrayRightButtonUp) {
    m_shell->ShowMenu(Menu());
  } else if (mouseMessage == kTrayLeftButtonDoubleClick) {
    m_shell->RunDefaultCommand(Menu());
  }
}
