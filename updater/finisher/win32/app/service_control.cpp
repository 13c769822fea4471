#include "service_control.h"

#include "corekit/debug.h"
#include "corekit/nt_service.h"
#include "corekit/service_control_api.h"

namespace nv::updater {
namespace {

constexpr int32_t kServiceNotActive = 1062;  // ERROR_SERVICE_NOT_ACTIVE

// A service opened through Corekit's manager for one call; both handles close with it.  The
// failure texts are CNTService's; they go to `report` (the finisher's own box) rather than to
// CNTService's, and a service that is not running counts as stopped.
class OpenedService {
 public:
  OpenedService(const std::string& name, const std::function<void(const std::string&)>& report)
      : m_api(corekit::PlatformServiceControl()) {
    if (m_api.OpenManager(corekit::service::kManagerAllAccess, m_manager) != 0) {
      m_manager = nullptr;
      report(CNTService::kManagerOpenFailed);
      return;
    }
    if (const int32_t error = m_api.Open(m_manager, name, corekit::service::kAllAccess, m_service);
        error != 0) {
      m_service = nullptr;
      report(ServiceFailureText(ServiceStep::kOpen, error));
    }
  }
  ~OpenedService() {
    if (m_service != nullptr) m_api.Close(m_service);
    if (m_manager != nullptr) m_api.Close(m_manager);
  }
  OpenedService(const OpenedService&) = delete;
  OpenedService& operator=(const OpenedService&) = delete;

  bool open() const noexcept { return m_service != nullptr; }
  int32_t Stop() { return m_api.Stop(m_service); }
  int32_t Start() { return m_api.Start(m_service); }

 private:
  corekit::ServiceControlApi& m_api;
  corekit::ServiceHandle m_manager = nullptr;
  corekit::ServiceHandle m_service = nullptr;
};

}  // namespace

bool ServiceControl::Stop(const std::string& name) {
  OpenedService service(name, m_report);
  if (!service.open()) return false;
  const int32_t error = service.Stop();
  if (error == 0 || error == kServiceNotActive) return true;  // already stopped: nothing to report
  CDebug::dprintf("continue: stop %s failed (%d)\n", name.c_str(), error);
  m_report(ServiceFailureText(ServiceStep::kStop, error));
  return false;
}

bool ServiceControl::Start(const std::string& name) {
  OpenedService service(name, m_report);
  if (!service.open()) return false;
  const std::string failure = ServiceFailureText(ServiceStep::kStart, service.Start());
  if (failure.empty()) return true;  // started, or running already
  m_report(failure);
  return false;
}

}  // namespace nv::updater
