#include "netvane/net_indicator.h"

#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "netvane/cfginfo.h"
#include "netvane/string_keys.h"

namespace {

std::string Text(CIniFile& strings, const StringKey& key) {
  return strings.GetValue(key.section, key.key, key.resourceId);
}

}  // namespace

CNetIndicator::CNetIndicator(const CCfginfo& cfg) : m_cfg(cfg), m_options(cfg.dwOpt) {
  CIniFile none;  // every text from the built-in defaults
  m_message1 = Text(none, nv::strings::kChngMsg1);
  m_message2 = Text(none, nv::strings::kChngMsg2);
}

CNetIndicator::CNetIndicator(const CCfginfo& cfg, CIniFile& strings) : m_cfg(cfg), m_options(cfg.dwOpt) {
  m_message1 = Text(strings, nv::strings::kChngMsg1);
  m_message2 = Text(strings, nv::strings::kChngMsg2);
}

CNetIndicator::~CNetIndicator() {
  if (m_windows) {
    m_windows->CloseDisplay();
    m_windows->CloseProgress();
  }
}

void CNetIndicator::SetWindows(std::unique_ptr<nv::core::IIndicatorWindows> windows) {
  m_windows = std::move(windows);
  if (m_windows) m_windows->SetParent(m_parent);
}

void CNetIndicator::SetNetwork(int network) {
  SelectNetwork(network);
  if (m_cfg.dwSilentChng == 0) ShowProgress();
}

void CNetIndicator::SelectNetwork(int network) {
  m_network = network != 0 ? 1 : 0;
  m_name = m_cfg.szNet[m_network];
  m_colour = m_network != 0 ? kColourB : kColourA;
}

void CNetIndicator::ShowProgress() {
  CloseProgress();
  m_open = true;
  m_position = 0;
  m_status.clear();
  if (m_windows && !m_windows->OpenProgress(nv::core::ProgressTitle(m_message1, m_name), m_message2))
    CDebug::dprintf("Progress window could not be opened\n");
  if (m_pump) m_pump();
}

void CNetIndicator::Progress(int position, const std::string& text) {
  // The status line carries the sending details only while debugging.
  Show(position, (m_cfg.dwDebug & kDebugShowText) != 0 ? text : std::string());
}

void CNetIndicator::SetProgress(int position, const std::string& text) { Show(position, text); }

void CNetIndicator::Show(int position, const std::string& text) {
  if (!m_open) return;
  // The status line holds 255 characters.
  m_status = text.substr(0, 255);
  m_position = position < 0 ? 0 : position > 100 ? 100 : position;
  CDebug::dprintf("Progress(%d) %s\n", m_position, m_status.c_str());
  if (m_windows) m_windows->UpdateProgress(m_position, nv::core::ProgressSecondLine(m_message2, m_status));
  if (m_pump) m_pump();
}

void CNetIndicator::CloseProgress() {
  if (m_windows) m_windows->CloseProgress();
  m_open = false;
}

std::string CNetIndicator::Finish() {
  CloseProgress();
  RefreshDisplay();
  if ((m_options & kOptShortcut) != 0) ChangeSC(m_name);
  return m_name;
}

void CNetIndicator::OnOptionsChanged(std::uintptr_t parent) {
  if (parent != 0) {
    m_parent = parent;
    if (m_windows) m_windows->SetParent(parent);
  }
  m_name = m_cfg.szNet[m_network];
  const uint32_t previous = m_options;
  m_options = m_cfg.dwOpt;
  RefreshDisplay();
  CDebug::dprintf("Prev(%d) Curr(%d)\n", static_cast<int>(previous), static_cast<int>(m_options));
  if ((previous & kOptShortcut) != 0 && (m_options & kOptShortcut) == 0) {
    DeleteSC();
  } else {
    ChangeSC(m_name);
  }
}

void CNetIndicator::RefreshDisplay() {
  if (!m_windows) return;
  m_windows->CloseDisplay();
  if ((m_options & kOptDisplay) == 0) return;
  nv::core::DisplaySpec spec;
  spec.name = m_name;
  spec.colour = m_colour;
  spec.vertical = (m_options & kOptVertical) != 0;
  spec.font =
      nv::core::DisplayWindowFont(nv::core::kDisplayFontName, nv::core::kDisplayFontSize, spec.vertical);
  if (!m_windows->ShowDisplay(spec)) CDebug::dprintf("Display window could not be made\n");
}

void CNetIndicator::ChangeSC(const std::string& networkName) {
  if ((m_options & kOptShortcut) == 0 || !m_links) return;
  nv::core::ChangeShortcut(*m_links, m_cfg.InstalledPath, networkName);
}

void CNetIndicator::DeleteSC() {
  if ((m_options & kOptShortcut) != 0 || !m_links) return;
  nv::core::DeleteShortcuts(*m_links, m_cfg.InstalledPath);
}
