#include "service_control.h"

#include "corekit/debug.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace nv::updater {
namespace {

struct ServiceTraits {
  using pointer = SC_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::CloseServiceHandle(h); }
};
using UniqueService = nv::UniqueHandle<ServiceTraits>;

std::string OpenFailure(DWORD code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      return "access denied(open)";
    case ERROR_INVALID_NAME:
      return "invalid service name (open)";
    case ERROR_SERVICE_DOES_NOT_EXIST:
      return "dose not serivce exist(open)";
    default:
      return "service open fail.(open)";
  }
}

}  // namespace

bool ServiceControl::Stop(const std::string& name) {
  UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return m_report("SCM 열기 실패"), false;
  UniqueService service(::OpenServiceW(manager.get(), nv::text::Widen(name).c_str(), SERVICE_ALL_ACCESS));
  if (!service) return m_report(OpenFailure(::GetLastError())), false;
  SERVICE_STATUS status{};
  if (::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) return true;
  switch (const DWORD code = ::GetLastError()) {
    case ERROR_SERVICE_NOT_ACTIVE:
      return true;  // already stopped: nothing to report
    case ERROR_ACCESS_DENIED:
      m_report("access denied (Stop).");
      break;
    case ERROR_DEPENDENT_SERVICES_RUNNING:
      m_report("running service (Stop).");
      break;
    case ERROR_INVALID_SERVICE_CONTROL:
      m_report("invalid service control (Stop).");
      break;
    case ERROR_SERVICE_REQUEST_TIMEOUT:
      m_report("requeust service timeout (Stop).");
      break;
    default:
      CDebug::dprintf("continue: stop %s failed (%lu)\n", name.c_str(), code);
      m_report("Error Stop.");
      break;
  }
  return false;
}

bool ServiceControl::Start(const std::string& name) {
  UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return m_report("SCM 열기 실패"), false;
  UniqueService service(::OpenServiceW(manager.get(), nv::text::Widen(name).c_str(), SERVICE_ALL_ACCESS));
  if (!service) return m_report(OpenFailure(::GetLastError())), false;
  if (::StartServiceW(service.get(), 0, nullptr)) return true;
  const DWORD code = ::GetLastError();
  switch (code) {
    case ERROR_SERVICE_ALREADY_RUNNING:
      return true;
    case ERROR_PATH_NOT_FOUND:
      m_report("service path not found (Start).");
      break;
    case ERROR_ACCESS_DENIED:
      m_report("access denied (Start).");
      break;
    case ERROR_SERVICE_REQUEST_TIMEOUT:
      m_report("request service timeout.");
      break;
    case ERROR_SERVICE_DATABASE_LOCKED:
      m_report("lock service datebase (Start).");
      break;
    case ERROR_SERVICE_DISABLED:
      m_report("disabled service (Start).");
      break;
    case ERROR_SERVICE_DEPENDENCY_FAIL:
      m_report("Depedency Fail (Start).");
      break;
    case ERROR_SERVICE_LOGON_FAILED:
      m_report("logon failed (Start).");
      break;
    case ERROR_SERVICE_MARKED_FOR_DELETE:
      m_report("Marked For Delete (Start).");
      break;
    case ERROR_SERVICE_DEPENDENCY_DELETED:
      m_report("Dependency Delete (Start).");
      break;
    default:
      m_report("Error Start(" + std::to_string(code) + ")");
      break;
  }
  return false;
}

}  // namespace nv::updater
