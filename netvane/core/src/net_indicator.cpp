#include "netvane/net_indicator.h"

#include "corekit/debug.h"
#include "netvane/cfginfo.h"

CNetIndicator::CNetIndicator(const CCfginfo& cfg) : m_cfg(cfg) {}

void CNetIndicator::SetNetwork(int network) {
  m_network = network != 0 ? 1 : 0;
  m_name = m_cfg.szNet[m_network];
  m_colour = m_network != 0 ? kColourB : kColourA;
  if (m_cfg.dwSilentChng != 0) return;
  m_open = true;
  m_position = 0;
  m_status.clear();
}

void CNetIndicator::Progress(int position, const std::string& text) {
  // The status line carries the sending details only while debugging.
  Show(position, (m_cfg.dwDebug & kDebugShowText) != 0 ? text : std::string());
}

void CNetIndicator::SetProgress(int position, const std::string& text) { Show(position, text); }

void CNetIndicator::Show(int position, const std::string& text) {
  if (!m_open) return;
  m_position = position < 0 ? 0 : position > 100 ? 100 : position;
  m_status = text;
  CDebug::dprintf("Progress(%d) %s\n", m_position, m_status.c_str());
  if (m_pump) m_pump();
}

void CNetIndicator::CloseProgress() { m_open = false; }

std::string CNetIndicator::Finish() {
  CloseProgress();
  return m_name;
}
