// The two phases of removing the product, as the uninstaller library's exports run them.
//
// UninstallFirstPhase (before the product's files go): the desktop shortcut, the launcher service
// (through "NvSVC.EXE -u" from the installed folder; in-process when that program cannot be run
// or the product key is already gone), the switch packet driver's service, the lease values in the
// adapter keys the product recorded, and the product key.  UninstallSecondPhase (after): the
// autostart values (Run and RunOnce) and the offer to restart.  Every step goes on when the one before it
// failed; both return 0.
#pragma once
#include <cstdint>
#include <string>

#include "corekit/service_control_api.h"

namespace nv::uninstall {

// Where the product left its traces in the registry (below the local-machine root).
struct UninstallKeys {
  std::string productKey = "Software\\Tarn\\Netvane-H";
  std::string runKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  // The tray program names its logon helper here, under the same value name, each time it ends.
  std::string runOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  std::string runValue = "Netvane (Only Railgate)";
  std::string vxdKey = "System\\CurrentControlSet\\Services\\VxD";
  // Below it lie the only keys the lease values are written to (see IsAdapterTcpIpKey).
  std::string servicesKey = "SYSTEM\\CurrentControlSet\\Services";
};

// Whether `path` has one of the forms the IP configuration dialog records for an adapter, below
// `servicesKey` (without case): "TcpIp\Parameters\Interfaces\<adapter>",
// "<adapter>\Parameters\TcpIp" or "<adapter>\TcpIp\Parameters", the adapter one plain name.
// The recorded paths are settings anyone with the product key's rights can change: any other path
// would let them have the uninstaller write into any key of the machine.
bool IsAdapterTcpIpKey(const std::string& path, const std::string& servicesKey);

inline constexpr const char* kLinkFileName = "Netvane.LNK";
inline constexpr const char* kServiceProgram = "NvSVC.EXE";
inline constexpr const char* kLauncherService = "NvMGR";
inline constexpr const char* kDriverService = "Rgateii";
inline constexpr uint32_t kServiceProgramWaitMs = 60000;
inline constexpr const char* kDoneCaption = "Uninstallation Complete !!";
inline constexpr const char* kRestartQuestion =
    "Please save your work and close all applications.\n\nReboot system now ?";

// What the uninstaller does to the system beyond the registry and the service manager.
class UninstallSystem {
 public:
  virtual ~UninstallSystem();
  virtual bool IsNtFamily() = 0;
  // The desktop folder as the shortcut helper finds it; empty when unknown.
  virtual std::string DesktopFolder() = 0;
  virtual void RemoveFile(const std::string& path) = 0;
  // Every window invalidated, so a deleted desktop icon disappears.
  virtual void RedrawScreen() = 0;
  // Runs the program hidden, at high priority, with inherited handles; waits up to `waitMs` and
  // ends it if it still runs then.  0 when it started, else the platform's error.
  virtual uint32_t RunHidden(const std::string& program, const std::string& commandLine, uint32_t waitMs) = 0;
  virtual void Restart() = 0;
};

int UninstallFirstPhase(UninstallSystem& system, corekit::ServiceControlApi& services,
                        const UninstallKeys& keys = {}) noexcept;

// `window`: the installer's window, owner of the restart question.
int UninstallSecondPhase(UninstallSystem& system, void* window, const UninstallKeys& keys = {}) noexcept;

}  // namespace nv::uninstall
