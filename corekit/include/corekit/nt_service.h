// CNTService: installs, opens, starts, stops and removes services, with a message box (through
// corekit::ShowMessageBox, so unattended runs see the text in the trace) for every failure.  The
// messages keep the wording the installed base has always shown.
//
// IsAdmin: whether the caller's token passes an access check against a security descriptor that
// grants access to the local Administrators group only (natively: whether the effective user is
// root).
#pragma once
#include <cstdint>
#include <string>

#include "corekit/export.h"
#include "corekit/service_control_api.h"

// The platform's service constants CNTService passes, with their Win32 values.
namespace corekit::service {
inline constexpr uint32_t kManagerAllAccess = 0xF003F;
inline constexpr uint32_t kManagerReadWrite = 0x80000000u | 0x40000000u;  // GENERIC_READ | GENERIC_WRITE
inline constexpr uint32_t kAllAccess = 0xF01FF;
inline constexpr uint32_t kKernelDriver = 0x01;
inline constexpr uint32_t kOwnProcess = 0x10;
inline constexpr uint32_t kDemandStart = 3;
inline constexpr uint32_t kErrorNormal = 1;
}  // namespace corekit::service

// What a failed step shows; empty when the code is no failure for that step (a service that
// exists already, when installing; one that runs already, when starting).
enum class ServiceStep { kInstall, kOpen, kStart, kStop, kDelete };
COREKIT_API std::string ServiceFailureText(ServiceStep step, int32_t error);

class COREKIT_API CNTService {
 public:
  static constexpr const char* kCaption = "Service";
  static constexpr const char* kManagerOpenFailed = "SCM \xEC\x97\xB4\xEA\xB8\xB0 \xEC\x8B\xA4\xED\x8C\xA8";
  static constexpr const char* kMarkedForDeletion =
      "The service has been marked for deletion.\rYou will have to restart the system for "
      "complete\runinstall.";

  CNTService() noexcept;
  explicit CNTService(corekit::ServiceControlApi& api) noexcept;
  // Closes what is still open.
  ~CNTService();
  CNTService(const CNTService&) = delete;
  CNTService& operator=(const CNTService&) = delete;

  // A kernel driver started on demand, display name = name.
  int InstallSvc(const std::string& name, const std::string& path) noexcept;
  int InstallSvc(const std::string& name, const std::string& displayName, const std::string& path,
                 uint32_t access, uint32_t type, uint32_t start, uint32_t errorControl,
                 const std::string& dependencies) noexcept;
  bool OpenSvc(const std::string& name, uint32_t access = corekit::service::kAllAccess) noexcept;
  // Starts the open service (opening `name` first when none is open) and closes it.
  bool StartSvc(const std::string& name) noexcept;
  bool StopSvc() noexcept;
  // Opens, stops (a service that is not running is no failure here) and deletes; true when deleted.
  bool UninstallSvc(const std::string& name) noexcept;
  bool CloseSvc() noexcept;

  static int IsAdmin() noexcept;

 private:
  void Show(const std::string& text, unsigned icon) const noexcept;

  corekit::ServiceControlApi& m_api;
  corekit::ServiceHandle m_manager = nullptr;
  corekit::ServiceHandle m_service = nullptr;
};
