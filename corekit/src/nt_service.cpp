#include "corekit/nt_service.h"

#include <cstdio>

#include "corekit/debug.h"
#include "corekit/message_box.h"
#include "nt_service_platform.h"

namespace {

// The platform's error codes the messages tell apart.
constexpr int32_t kPathNotFound = 3;
constexpr int32_t kAccessDenied = 5;
constexpr int32_t kInvalidName = 123;
constexpr int32_t kDependentServicesRunning = 1051;
constexpr int32_t kInvalidServiceControl = 1052;
constexpr int32_t kRequestTimeout = 1053;
constexpr int32_t kDatabaseLocked = 1055;
constexpr int32_t kAlreadyRunning = 1056;
constexpr int32_t kDisabled = 1058;
constexpr int32_t kDoesNotExist = 1060;
constexpr int32_t kNotActive = 1062;
constexpr int32_t kDependencyFail = 1068;
constexpr int32_t kLogonFailed = 1069;
constexpr int32_t kMarkedForDelete = 1072;
constexpr int32_t kExists = 1073;
constexpr int32_t kDependencyDeleted = 1075;
constexpr int32_t kDuplicateName = 1078;

struct CodeText {
  int32_t code;
  const char* text;
};

template <size_t N>
const char* Find(const CodeText (&table)[N], int32_t code) {
  for (const CodeText& entry : table)
    if (entry.code == code) return entry.text;
  return nullptr;
}

constexpr CodeText kInstall[] = {
    {kAccessDenied, "access denied (Install)"},
    {kDuplicateName, "dup service name . (Install)"},
    {kInvalidName, "invalid name. (Install)"},
    {kMarkedForDelete, "Delete marcked (Install)"},
};
constexpr CodeText kOpen[] = {
    {kAccessDenied, "access denied(open)"},
    {kInvalidName, "invalid service name (open)"},
    {kDoesNotExist, "dose not serivce exist(open)"},
};
constexpr CodeText kStart[] = {
    {kPathNotFound, "service path not found (Start)."},
    {kAccessDenied, "access denied (Start)."},
    {kRequestTimeout, "request service timeout."},
    {kDatabaseLocked, "lock service datebase (Start)."},
    {kDisabled, "disabled service (Start)."},
    {kDependencyFail, "Depedency Fail (Start)."},
    {kLogonFailed, "logon failed (Start)."},
    {kMarkedForDelete, "Marked For Delete (Start)."},
    {kDependencyDeleted, "Dependency Delete (Start)."},
};
constexpr CodeText kStop[] = {
    {kAccessDenied, "access denied (Stop)."},
    {kDependentServicesRunning, "running service (Stop)."},
    {kInvalidServiceControl, "invalid service control (Stop)."},
    {kRequestTimeout, "requeust service timeout (Stop)."},
};
constexpr CodeText kDelete[] = {
    {kAccessDenied, "access denied (Delete)."},
    {kMarkedForDelete, "Mared For Delete."},
};

}  // namespace

std::string ServiceFailureText(ServiceStep step, int32_t error) {
  if (error == 0) return {};
  const char* text = nullptr;
  switch (step) {
    case ServiceStep::kInstall:
      if (error == kExists) return {};
      text = Find(kInstall, error);
      return text != nullptr ? text : "create service failed (" + std::to_string(error) + ")";
    case ServiceStep::kOpen:
      text = Find(kOpen, error);
      return text != nullptr ? text : "service open fail.(open)";
    case ServiceStep::kStart:
      if (error == kAlreadyRunning) return {};
      text = Find(kStart, error);
      return text != nullptr ? text : "Error Start(" + std::to_string(error) + ")";
    case ServiceStep::kStop:
      text = Find(kStop, error);
      return text != nullptr ? text : "Error Stop.";
    case ServiceStep::kDelete:
      text = Find(kDelete, error);
      return text != nullptr ? text : "Error deleting.";
  }
  return {};
}

CNTService::CNTService() noexcept : m_api(corekit::PlatformServiceControl()) {}

CNTService::CNTService(corekit::ServiceControlApi& api) noexcept : m_api(api) {}

CNTService::~CNTService() { CloseSvc(); }

void CNTService::Show(const std::string& text, unsigned icon) const noexcept {
  CDebug::dprintf("CNTService: %s\n", text.c_str());
  corekit::ShowMessageBox(nullptr, kCaption, text, corekit::kMbOk | icon);
}

int CNTService::InstallSvc(const std::string& name, const std::string& path) noexcept {
  using namespace corekit::service;
  return InstallSvc(name, name, path, kAllAccess, kKernelDriver, kDemandStart, kErrorNormal, "");
}

int CNTService::InstallSvc(const std::string& name, const std::string& displayName, const std::string& path,
                           uint32_t access, uint32_t type, uint32_t start, uint32_t errorControl,
                           const std::string& dependencies) noexcept {
  try {
    CloseSvc();
    m_api.ShowWaitCursor(true);
    if (m_api.OpenManager(corekit::service::kManagerReadWrite, m_manager) != 0) {
      m_manager = nullptr;
      m_api.ShowWaitCursor(false);
      Show("Error while opening Service Control Manager.", corekit::kMbIconError);
      return 0;
    }
    const corekit::ServiceConfig config{name, displayName, path,         access,
                                        type, start,       errorControl, dependencies};
    const int32_t error = m_api.Create(m_manager, config, m_service);
    if (error != 0) m_service = nullptr;
    CloseSvc();
    m_api.ShowWaitCursor(false);
    const std::string failure = ServiceFailureText(ServiceStep::kInstall, error);
    if (failure.empty()) return 1;
    Show(failure, corekit::kMbIconError);
    return 0;
  } catch (...) {
    m_api.ShowWaitCursor(false);
    return 0;
  }
}

bool CNTService::OpenSvc(const std::string& name, uint32_t access) noexcept {
  try {
    CloseSvc();
    if (m_api.OpenManager(corekit::service::kManagerAllAccess, m_manager) != 0) {
      m_manager = nullptr;
      Show(kManagerOpenFailed, corekit::kMbIconError);
      return false;
    }
    const int32_t error = m_api.Open(m_manager, name, access, m_service);
    if (error == 0) return true;
    m_service = nullptr;
    CloseSvc();
    Show(ServiceFailureText(ServiceStep::kOpen, error), corekit::kMbIconError);
    return false;
  } catch (...) {
    CloseSvc();
    return false;
  }
}

bool CNTService::StartSvc(const std::string& name) noexcept {
  if (m_service == nullptr && !OpenSvc(name)) return false;
  const int32_t error = m_api.Start(m_service);
  CloseSvc();
  const std::string failure = ServiceFailureText(ServiceStep::kStart, error);
  if (failure.empty()) return true;
  Show(failure, corekit::kMbIconError);
  return false;
}

bool CNTService::StopSvc() noexcept {
  const int32_t error = m_api.Stop(m_service);
  if (error == 0) return true;
  Show(ServiceFailureText(ServiceStep::kStop, error), corekit::kMbIconError);
  return false;
}

bool CNTService::UninstallSvc(const std::string& name) noexcept {
  if (!OpenSvc(name)) return false;
  const int32_t stopError = m_api.Stop(m_service);
  // A service that does not run needs no stopping; anything else is worth telling.
  if (stopError != 0 && stopError != kNotActive)
    Show(ServiceFailureText(ServiceStep::kStop, stopError), corekit::kMbIconError);
  const int32_t error = m_api.Delete(m_service);
  CloseSvc();
  if (error != 0) {
    Show(ServiceFailureText(ServiceStep::kDelete, error), corekit::kMbIconError);
    return false;
  }
  Show(kMarkedForDeletion, corekit::kMbIconInformation);
  return true;
}

bool CNTService::CloseSvc() noexcept {
  if (m_service != nullptr) m_api.Close(m_service);
  if (m_manager != nullptr) m_api.Close(m_manager);
  m_service = nullptr;
  m_manager = nullptr;
  return true;
}

int CNTService::IsAdmin() noexcept {
  uint32_t checkError = 0;
  const bool admin = corekit::detail::CallerIsAdministrator(checkError);
  if (checkError != 0) {
    char text[64];
    std::snprintf(text, sizeof text, "AccessCheck() failed with error %lu\n",
                  static_cast<unsigned long>(checkError));
    corekit::ShowMessageBox(nullptr, "NETVANE", text, corekit::kMbOk);
  }
  return admin ? 1 : 0;
}

corekit::ServiceControlApi::~ServiceControlApi() = default;
