// Installing and removing the launcher service ("-i", "-u"): the service control manager through
// Corekit's seam, the event source through CRegistry.  Each returns the line the program prints.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// Service access rights, as the manager checks them.
namespace rights {
inline constexpr uint32_t kQueryConfig = 0x0001;
inline constexpr uint32_t kChangeConfig = 0x0002;
inline constexpr uint32_t kQueryStatus = 0x0004;
inline constexpr uint32_t kEnumerateDependents = 0x0008;
inline constexpr uint32_t kStart = 0x0010;
inline constexpr uint32_t kStop = 0x0020;
inline constexpr uint32_t kPauseContinue = 0x0040;
inline constexpr uint32_t kInterrogate = 0x0080;
inline constexpr uint32_t kUserDefinedControl = 0x0100;
inline constexpr uint32_t kDelete = 0x10000;
inline constexpr uint32_t kReadControl = 0x20000;
inline constexpr uint32_t kWriteDac = 0x40000;
inline constexpr uint32_t kWriteOwner = 0x80000;
inline constexpr uint32_t kAll = 0xF01FF;
}  // namespace rights

struct ServiceAccessEntry {
  std::string trustee;  // a well-known account in its two-letter string form ("SY", "BA", "IU", ...)
  uint32_t rights = 0;
};

// Who may command the launcher: SYSTEM and Administrators fully; interactive and authenticated
// users may only query and interrogate it.  Nobody else is named, so nobody else gets anything;
// in particular no user may send it its own control codes (129 starts a program) or stop it.
std::vector<ServiceAccessEntry> LauncherServiceAccess();

// The access list in the platform's string form: "D:" then "(A;;0x...;;;TRUSTEE)" per entry.
std::string AccessListText(const std::vector<ServiceAccessEntry>& entries);

struct SetupResult {
  bool ok = false;
  std::string message;  // "%s installed\n" and its kin
};

// Creates the service (own process, interactive, automatic, dependency "TDI", local system),
// gives it LauncherServiceAccess() (a service that cannot get it is deleted again: the default
// list lets every interactive user send it control codes), starts it and registers it as an
// event source.  A service that exists already is left alone.
SetupResult InstallService(corekit::ServiceControlApi& api, const std::string& serviceName,
                           const std::string& modulePath) noexcept;

// Stops the service (whatever that gives), deletes it and its event source.
SetupResult RemoveService(corekit::ServiceControlApi& api, const std::string& serviceName) noexcept;

}  // namespace nv::service
