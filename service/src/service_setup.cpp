#include "service_setup.h"

#include <cstdio>

#include "corekit/debug.h"
#include "corekit/nt_service.h"
#include "corekit/registry.h"

namespace nv::service {
namespace {

constexpr int32_t kServiceDoesNotExist = 1060;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// Both handles of one manager session, closed on every way out.
class ManagerSession {
 public:
  explicit ManagerSession(corekit::ServiceControlApi& api) : m_api(api) {}
  ~ManagerSession() {
    if (service != nullptr) m_api.Close(service);
    if (manager != nullptr) m_api.Close(manager);
  }
  ManagerSession(const ManagerSession&) = delete;
  ManagerSession& operator=(const ManagerSession&) = delete;

  corekit::ServiceHandle manager = nullptr;
  corekit::ServiceHandle service = nullptr;

 private:
  corekit::ServiceControlApi& m_api;
};

int32_t RegisterEventSource(const std::string& serviceName, const std::string& modulePath) {
  CRegistry registry;
  if (!registry.Connect(corekit::kHKeyLocalMachine)) return registry.GetErrorCode();
  if (!registry.Create((std::string(kEventSourceRoot) + serviceName).c_str())) return registry.GetErrorCode();
  // The message file is a file: the program itself, without the service's arguments.
  const std::string file = modulePath + '\0';
  if (!registry.SetValue("EventMessageFile", CRegistry::typeExpandString,
                         reinterpret_cast<const uint8_t*>(file.data()), static_cast<uint32_t>(file.size())) ||
      !registry.SetDoubleWordValue("TypesSupported", kEventTypesSupported))
    return registry.GetErrorCode();
  return 0;
}

void RemoveEventSource(const std::string& serviceName) {
  CRegistry registry;
  if (registry.Connect(corekit::kHKeyLocalMachine))
    registry.DeleteKey((std::string(kEventSourceRoot) + serviceName).c_str());
}

}  // namespace

std::vector<ServiceAccessEntry> LauncherServiceAccess() {
  const uint32_t query = rights::kQueryConfig | rights::kQueryStatus | rights::kEnumerateDependents |
                         rights::kInterrogate | rights::kReadControl;
  return {{"SY", rights::kAll}, {"BA", rights::kAll}, {"IU", query}, {"AU", query}};
}

std::string AccessListText(const std::vector<ServiceAccessEntry>& entries) {
  std::string text = "D:";
  for (const ServiceAccessEntry& entry : entries)
    text += Format("(A;;0x%x;;;%s)", static_cast<unsigned>(entry.rights), entry.trustee.c_str());
  return text;
}

std::string ServiceCommandLine(const std::string& modulePath, const std::string& serviceName) {
  return "\"" + modulePath + "\" -" + serviceName;
}

SetupResult InstallService(corekit::ServiceControlApi& api, const std::string& serviceName,
                           const std::string& modulePath) noexcept {
  const char* name = serviceName.c_str();
  try {
    ManagerSession session(api);
    const int32_t managerError = api.OpenManager(corekit::service::kManagerAllAccess, session.manager);
    if (managerError != 0) {
      session.manager = nullptr;
      return {false, Format("%s failed to install. Error %d\n", name, managerError)};
    }
    if (api.Open(session.manager, serviceName, rights::kQueryConfig, session.service) == 0)
      return {true, Format("%s is already installed\n", name)};
    session.service = nullptr;

    const corekit::ServiceConfig config{serviceName,
                                        serviceName,
                                        ServiceCommandLine(modulePath, serviceName),
                                        corekit::service::kAllAccess,
                                        kOwnInteractiveProcess,
                                        kAutoStart,
                                        corekit::service::kErrorNormal,
                                        kDependencies};
    const int32_t createError = api.Create(session.manager, config, session.service);
    if (createError != 0) {
      session.service = nullptr;
      return {false, Format("%s failed to install. Error %d\n", name, createError)};
    }
    const std::string access = AccessListText(LauncherServiceAccess());
    const int32_t accessError = api.SetAccessList(session.service, access);
    CDebug::dprintf("NvSVC: access list %s set (%d)\n", access.c_str(), accessError);
    if (accessError != 0) {
      api.Delete(session.service);
      return {false, Format("%s failed to install. Error %d\n", name, accessError)};
    }
    // Automatic start: run it now rather than at the next boot.
    if (const int32_t startError = api.Start(session.service); startError != 0)
      CDebug::dprintf("NvSVC: %s created but not started (%d)\n", name, startError);

    if (const int32_t eventError = RegisterEventSource(serviceName, modulePath); eventError != 0)
      return {false, Format("%s failed to install. Error %d\n", name, eventError)};
    return {true, Format("%s installed\n", name)};
  } catch (...) {
    return {false, Format("%s failed to install. Error %d\n", name, 1064)};
  }
}

SetupResult RemoveService(corekit::ServiceControlApi& api, const std::string& serviceName) noexcept {
  const char* name = serviceName.c_str();
  try {
    ManagerSession session(api);
    const int32_t managerError = api.OpenManager(corekit::service::kManagerAllAccess, session.manager);
    if (managerError != 0) {
      session.manager = nullptr;
      return {false, Format("Could not remove %s. Error %d\n", name, managerError)};
    }
    const int32_t openError =
        api.Open(session.manager, serviceName, corekit::service::kAllAccess, session.service);
    if (openError != 0) {
      session.service = nullptr;
      if (openError == kServiceDoesNotExist) return {false, Format("%s is not installed\n", name)};
      return {false, Format("Could not remove %s. Error %d\n", name, openError)};
    }
    api.Stop(session.service);  // a service that does not run is removed all the same
    const int32_t deleteError = api.Delete(session.service);
    if (deleteError != 0) return {false, Format("Could not remove %s. Error %d\n", name, deleteError)};
    RemoveEventSource(serviceName);
    return {true, Format("%s removed.\n", name)};
  } catch (...) {
    return {false, Format("Could not remove %s. Error %d\n", name, 1064)};
  }
}

}  // namespace nv::service
