// CNetvaneApp: the tray program's application object.  It decides whether this process may
// run at all (one instance per machine: a second start hands the running one the change
// command), loads the resource library, registers the frame's window class, loads the
// configuration and the string file, and creates the hidden main frame, which does the rest.
//
// Exit statuses of a start that does not run (documented in README.md):
//   kExitSecondInstance   another instance runs (it was asked to change network) or is starting
//   kExitNoResources      "NvRes.dll" could not be loaded
//   kExitNoWindow         window class or frame could not be created
//   kExitUnexpected       stopped by an unexpected error
#pragma once
#include <memory>
#include <string>

#include "app_texts.h"
#include "corekit/ini_file.h"
#include "corekit/module_string_source.h"
#include "corekit/os_version.h"
#include "netvane/cfginfo.h"
#include "platform/win32_handles.h"

class CMainFrame;

class CNetvaneApp {
 public:
  static constexpr int kExitSecondInstance = 1;
  static constexpr int kExitNoResources = 2;
  static constexpr int kExitNoWindow = 3;
  static constexpr int kExitUnexpected = 4;

  explicit CNetvaneApp(HINSTANCE instance);
  ~CNetvaneApp();
  CNetvaneApp(const CNetvaneApp&) = delete;
  CNetvaneApp& operator=(const CNetvaneApp&) = delete;

  // True to run; false ends the process at once with exitCode().
  bool InitInstance();
  // The message loop; returns the process's exit status.
  int Run();
  int exitCode() const noexcept { return m_exitCode; }

  const std::string& appName() const noexcept { return m_appName; }
  HINSTANCE instance() const noexcept { return m_instance; }
  HMODULE resources() const noexcept { return m_resources.get(); }
  CIniFile& strings() noexcept { return m_strings; }
  CCfginfo& config() noexcept { return m_cfg; }
  const COSversion& os() const noexcept { return m_os; }
  const nv::app::CommonTexts& texts() const noexcept { return m_texts; }
  std::wstring frameClassName() const;

 private:
  bool GuardSingleInstance();
  bool LoadResourceLibrary();
  bool RegisterFrameClass();
  void LoadConfiguration();
  void LoadStringFile();
  bool CreateFrame();

  HINSTANCE m_instance;
  nv::win32::UniqueModule m_resources;
  nv::win32::UniqueKernelHandle m_instanceMutex;
  std::string m_appName;
  CIniFile m_strings;
  CCfginfo m_cfg;
  COSversion m_os;
  nv::app::CommonTexts m_texts;
  std::unique_ptr<CModuleStringSource> m_stringSource;
  int m_exitCode = 0;
  // Last, so that it goes first: the frame uses everything above.
  std::unique_ptr<CMainFrame> m_frame;
};
