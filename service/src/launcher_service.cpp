#include "launcher_service.h"

#include "corekit/debug.h"
#include "corekit/registry.h"

namespace nv::service {

bool ReadInstalledPath(const std::string& productKey, std::string& path) noexcept {
  CRegistry registry;
  if (!registry.Connect(corekit::kHKeyLocalMachine)) return false;
  if (!registry.Open(productKey.c_str(), CRegistry::permissionRead)) return false;
  return registry.GetStringValue("InstalledPath", path) != 0 && !path.empty();
}

CLauncherService::CLauncherService(const std::string& serviceName, ServiceHost& host, SessionApi& sessions,
                                   Console console)
    : CNTServ(serviceName, host), m_sessions(sessions), m_console(std::move(console)) {}

bool CLauncherService::OnInit() {
  CDebug::dprintf("NvSVC: %s starting\n", m_serviceName.c_str());
  return true;
}

void CLauncherService::Run() {
  while (m_isRunning.load()) m_host.Sleep(m_pollInterval);
  CDebug::dprintf("NvSVC: %s stopping\n", m_serviceName.c_str());
}

bool CLauncherService::OnUserControl(uint32_t code) {
  CDebug::dprintf("NvSVC: control %u\n", static_cast<unsigned>(code));
  switch (code) {
    case kControlStartTray: {
      const std::string productKey = m_productKey;
      StartTrayProgram(
          m_sessions, [&productKey](std::string& path) { return ReadInstalledPath(productKey, path); },
          m_console, m_program);
      return true;
    }
    case kControlAcknowledge:
      return true;
    default:
      return false;
  }
}

}  // namespace nv::service
