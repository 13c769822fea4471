#include "netvane_app.h"

#include "corekit/debug.h"
#include "instance_guard.h"
#include "main_frame.h"
#include "message_box.h"
#include "netvane/frame_controller.h"
#include "netvane/product_key.h"
#include "platform/text.h"

CNetvaneApp::CNetvaneApp(HINSTANCE instance) : m_instance(instance), m_appName(nv::app::kAppName) {}

CNetvaneApp::~CNetvaneApp() {
  m_frame.reset();
  SetStringSource(nullptr);
  m_stringSource.reset();
  if (m_instanceMutex) ::ReleaseMutex(m_instanceMutex.get());
}

std::wstring CNetvaneApp::frameClassName() const { return nv::text::Widen(m_appName + "_CLASS"); }

bool CNetvaneApp::InitInstance() {
  if (!GuardSingleInstance()) {
    m_exitCode = kExitSecondInstance;
    return false;
  }
  CDebug::startConsoleWin(80, 40, "main");
  CDebug::dprintf("APP Init\n");
  if (!LoadResourceLibrary()) {
    m_exitCode = kExitNoResources;
    return false;
  }
  if (!RegisterFrameClass()) {
    CDebug::dprintf("RegisterClass failed (%lu)\n", ::GetLastError());
    m_exitCode = kExitNoWindow;
    return false;
  }
  LoadConfiguration();
  if (!CreateFrame()) {
    CDebug::dprintf("Frame creation failed\n");
    m_exitCode = kExitNoWindow;
    return false;
  }
  return true;
}

bool CNetvaneApp::GuardSingleInstance() {
  using nv::app::GuardStep;
  ::SetLastError(ERROR_SUCCESS);
  m_instanceMutex.reset(::CreateMutexW(nullptr, TRUE, nv::text::Widen(nv::app::kInstanceMutexName).c_str()));
  const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
  HWND running = ::FindWindowW(frameClassName().c_str(), nullptr);
  switch (nv::app::FirstGuardStep(existed, running != nullptr)) {
    case GuardStep::Run:
      return true;
    case GuardStep::SearchTitleLater:
      // The other instance may still be creating its frame.
      ::Sleep(nv::app::kTitleSearchDelayMs);
      running = ::FindWindowW(nullptr, nv::text::Widen(m_appName).c_str());
      if (running == nullptr) {
        CDebug::dprintf("Second start: no running window found\n");
        return false;
      }
      break;
    case GuardStep::AskRunning:
      break;
  }
  CDebug::dprintf("Second start: asking the running instance to change network\n");
  ::SendMessageW(running, WM_COMMAND, nv::core::ID_TRAY_CHANGE, 0);
  return false;
}

bool CNetvaneApp::LoadResourceLibrary() {
  m_resources.reset(::LoadLibraryW(L"NvRes.dll"));
  if (!m_resources) {
    nv::app::ShowMessageBox(nullptr, m_appName, "Not found Netvane Resource File(NvRes.Dll)",
                            MB_OK | MB_ICONSTOP);
    return false;
  }
  // Every built-in text now comes from the resource library.
  m_stringSource = std::make_unique<CModuleStringSource>(m_resources.get());
  SetStringSource(m_stringSource.get());
  CDebug::dprintf("Load Resource Success\n");
  return true;
}

bool CNetvaneApp::RegisterFrameClass() {
  const std::wstring name = frameClassName();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  // The frame's own procedure, so the window a second start finds by this class is the frame.
  wc.lpfnWndProc = &CMainFrame::WindowProc;
  wc.hInstance = m_instance;
  wc.lpszClassName = name.c_str();
  return ::RegisterClassExW(&wc) != 0;
}

void CNetvaneApp::LoadConfiguration() {
  m_cfg.SetKeys(nv::core::ProductKeyPath());
  m_cfg.LoadBase(m_os);
  LoadStringFile();
  m_cfg.LoadAll(m_strings);
}

void CNetvaneApp::LoadStringFile() {
  const std::string path = nv::app::StringFilePath(m_cfg.InstalledPath, m_cfg.UseLang);
  CDebug::dprintf("IniPath(%s)\n", path.c_str());
  m_strings.SetPath(path);
  m_strings.Reset();
  // Without the file every text falls back to the resource library.
  if (path.empty() || !m_strings.ReadFile()) CDebug::dprintf("String file not read: built-in texts\n");
  m_texts = nv::app::ReadCommonTexts(m_strings);
}

bool CNetvaneApp::CreateFrame() {
  m_frame = std::make_unique<CMainFrame>(*this);
  if (!m_frame->Create()) {
    m_frame.reset();
    return false;
  }
  return true;
}

int CNetvaneApp::Run() {
  MSG msg;
  for (;;) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return kExitNoWindow;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}
