#include "service_dispatch_win32.h"

#include <string>

#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace nv::service {
namespace {

// The dispatcher's entry points are plain functions: they reach the one service object here.
CNTServ* g_service = nullptr;

class Win32ServiceHost : public ServiceHost {
 public:
  bool RegisterControlHandler(const std::string& serviceName) override;
  void ReportStatus(const ServiceStatusRecord& status) override {
    if (m_handle == nullptr) return;
    SERVICE_STATUS record{status.serviceType,
                          status.currentState,
                          status.controlsAccepted,
                          status.win32ExitCode,
                          status.serviceSpecificExitCode,
                          status.checkPoint,
                          status.waitHint};
    ::SetServiceStatus(m_handle, &record);
  }
  uint32_t LastError() override { return ::GetLastError(); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }

 private:
  SERVICE_STATUS_HANDLE m_handle = nullptr;
};

DWORD WINAPI ControlHandler(DWORD control, DWORD, void*, void*) {
  if (g_service == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return g_service->HandleControl(control) ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

bool Win32ServiceHost::RegisterControlHandler(const std::string& serviceName) {
  m_handle = ::RegisterServiceCtrlHandlerExW(nv::text::Widen(serviceName).c_str(), ControlHandler, nullptr);
  return m_handle != nullptr;
}

// Start parameters "-trace <file>" (sc start NvMGR -trace C:\x.log) turn the trace on: a
// service's environment and console are not its starter's, so this is the way to watch it.  A test
// build writes into that file; a shipped one into its own log folder, whatever the file says.
void ApplyStartParameters(DWORD argc, LPWSTR* argv) {
  for (DWORD i = 1; i + 1 < argc; ++i) {
    if (::lstrcmpiW(argv[i], L"-trace") != 0) continue;
    ::SetEnvironmentVariableW(L"NV_TRACE", L"1");
    if (nv::corekit::TestSwitchesOn()) ::SetEnvironmentVariableW(L"NV_TRACE_FILE", argv[i + 1]);
    CDebug::reloadSettings();
  }
}

void WINAPI ServiceMainEntry(DWORD argc, LPWSTR* argv) {
  if (g_service == nullptr) return;
  ApplyStartParameters(argc, argv);
  g_service->ServiceMain();
}

}  // namespace

ServiceHost& PlatformServiceHost() {
  static Win32ServiceHost host;
  return host;
}

bool RunServiceDispatcher(CNTServ& service) noexcept {
  g_service = &service;
  std::wstring name = nv::text::Widen(service.ServiceName());
  SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMainEntry}, {nullptr, nullptr}};
  const bool ran = ::StartServiceCtrlDispatcherW(table) != FALSE;
  g_service = nullptr;
  return ran;
}

}  // namespace nv::service
