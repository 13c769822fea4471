// Installing and removing the launcher service ("-i", "-u"): the service control manager through
// Corekit's seam, the event source through CRegistry.  Each returns the line the program prints.
#pragma once
#include <cstdint>
#include <string>

#include "corekit/service_control_api.h"

namespace nv::service {

inline constexpr const char* kServiceName = "NvMGR";
inline constexpr const char* kDependencies = "TDI";
inline constexpr uint32_t kOwnInteractiveProcess = 0x110;
inline constexpr uint32_t kAutoStart = 2;
inline constexpr const char* kEventSourceRoot =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
inline constexpr uint32_t kEventTypesSupported = 7;

// The command line the manager starts the service with: the program in quotes (an unquoted path
// with blanks would let "C:\Program.exe" run in its place), then "-" and the service name.
std::string ServiceCommandLine(const std::string& modulePath, const std::string& serviceName);

struct SetupResult {
  bool ok = false;
  std::string message;  // "%s installed\n" and its kin
};

// Creates the service (own process, interactive, automatic, dependency "TDI", local system),
// starts it and registers it as an event source.  A service that exists already is left alone.
SetupResult InstallService(corekit::ServiceControlApi& api, const std::string& serviceName,
                           const std::string& modulePath) noexcept;

// Stops the service (whatever that gives), deletes it and its event source.
SetupResult RemoveService(corekit::ServiceControlApi& api, const std::string& serviceName) noexcept;

}  // namespace nv::service
