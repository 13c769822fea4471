// CNetIndicator: shows which network is in force and how a change is getting on.  It owns the
// progress window of a change, the desktop window that shows the network's name in its colour
// (dwOpt 0x02, turned with 0x08) and the desktop shortcut named after the network in force
// (dwOpt 0x01).  The decisions live here; the windows and the desktop links are reached through
// IIndicatorWindows and IDesktopLinks (none given: only the state is kept, as natively).
//
// While the progress window is open every progress step calls the pump, so the window repaints
// while the change blocks the main thread.  Main thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "netvane/change_steps.h"
#include "netvane/desktop_links.h"
#include "netvane/indicator_windows.h"

class CCfginfo;
class CIniFile;

class CNetIndicator : public nv::core::IChangeDisplay {
 public:
  static constexpr uint32_t kColourA = 0xFF0000;  // blue, as a Windows colour value
  static constexpr uint32_t kColourB = 0x0000FF;  // red
  static constexpr uint32_t kDebugShowText = 0x02;
  static constexpr uint32_t kOptShortcut = 0x01;
  static constexpr uint32_t kOptDisplay = 0x02;
  static constexpr uint32_t kOptVertical = 0x08;

  // Messages from the built-in texts only (tests, or no string file).
  explicit CNetIndicator(const CCfginfo& cfg);
  // Messages "CommonStr"/"szChngMsg1" and "szChngMsg2" from the string file.
  CNetIndicator(const CCfginfo& cfg, CIniFile& strings);
  ~CNetIndicator() override;
  CNetIndicator(const CNetIndicator&) = delete;
  CNetIndicator& operator=(const CNetIndicator&) = delete;

  void SetPump(std::function<void()> pump) { m_pump = std::move(pump); }
  void SetWindows(std::unique_ptr<nv::core::IIndicatorWindows> windows);
  void SetDesktopLinks(std::unique_ptr<nv::core::IDesktopLinks> links) { m_links = std::move(links); }

  // nv::core::IChangeDisplay
  void SetNetwork(int network) override;
  void SelectNetwork(int network) override;
  void Progress(int position, const std::string& text) override;
  void SetProgress(int position, const std::string& text) override;
  void CloseProgress() override;
  std::string Finish() override;

  void ShowProgress();
  // After the options changed (and at start-up): takes dwOpt anew, redraws the display window,
  // renames or removes the shortcut.  `parent` 0 keeps the parent given before.
  void OnOptionsChanged(std::uintptr_t parent);
  void RefreshDisplay();
  void ChangeSC(const std::string& networkName);
  void DeleteSC();
  // The text shown when no network is (the application name at exit).
  void SetText(std::string text) { m_name = std::move(text); }

  int networkShown() const noexcept { return m_network; }
  const std::string& networkName() const noexcept { return m_name; }
  uint32_t colour() const noexcept { return m_colour; }
  uint32_t options() const noexcept { return m_options; }
  bool progressOpen() const noexcept { return m_open; }
  int position() const noexcept { return m_position; }
  const std::string& statusLine() const noexcept { return m_status; }
  const std::string& message1() const noexcept { return m_message1; }
  const std::string& message2() const noexcept { return m_message2; }

 private:
  void Show(int position, const std::string& text);

  const CCfginfo& m_cfg;
  std::function<void()> m_pump;
  std::uintptr_t m_parent = 0;
  uint32_t m_options = 0;
  std::unique_ptr<nv::core::IDesktopLinks> m_links;
  std::unique_ptr<nv::core::IIndicatorWindows> m_windows;
  int m_network = 0;
  std::string m_name;
  uint32_t m_colour = kColourA;
  std::string m_message1;
  std::string m_message2;
  bool m_open = false;
  int m_position = 0;
  std::string m_status;
};
