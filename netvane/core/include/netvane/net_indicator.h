// CNetIndicator: shows which network is in force and how a change is getting on.  This first
// version keeps the state the change sequence drives (network shown, its name and colour,
// whether the progress window is open, its position and status line) and hands the tray its
// tip text; the progress window, the desktop display window and the network shortcut are
// drawn from this state by their own part later.
//
// While the progress window is open every progress step calls the pump, so the frame can
// repaint and answer messages sent to it during a change (the frame's busy rule then drops
// further change requests).  Main thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "netvane/change_steps.h"

class CCfginfo;

class CNetIndicator : public nv::core::IChangeDisplay {
 public:
  static constexpr uint32_t kColourA = 0xFF0000;  // blue, as a Windows colour value
  static constexpr uint32_t kColourB = 0x0000FF;  // red
  static constexpr uint32_t kDebugShowText = 0x02;

  explicit CNetIndicator(const CCfginfo& cfg);

  void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }

  void SetNetwork(int network) override;
  void Progress(int position, const std::string& text) override;
  void SetProgress(int position, const std::string& text) override;
  void CloseProgress() override;
  std::string Finish() override;
  // The text shown when no network is (the application name at exit).
  void SetText(std::string text) { m_name = std::move(text); }

  int networkShown() const noexcept { return m_network; }
  const std::string& networkName() const noexcept { return m_name; }
  uint32_t colour() const noexcept { return m_colour; }
  bool progressOpen() const noexcept { return m_open; }
  int position() const noexcept { return m_position; }
  const std::string& statusLine() const noexcept { return m_status; }

 private:
  void Show(int position, const std::string& text);

  const CCfginfo& m_cfg;
  std::function<void()> m_pump;
  int m_network = 0;
  std::string m_name;
  uint32_t m_colour = kColourA;
  bool m_open = false;
  int m_position = 0;
  std::string m_status;
};
