#include "uninstall.h"

#include <cstdio>
#include <vector>

#include "corekit/debug.h"
#include "corekit/message_box.h"
#include "corekit/nt_service.h"
#include "corekit/registry.h"
#include "platform/text.h"
#include "service_setup.h"

namespace nv::uninstall {
namespace {

constexpr int kIdNo = 7;
constexpr const char* kLeaseValue = "LeaseTerminatesTime";

bool ReadProductString(const UninstallKeys& keys, const char* name, std::string& value) {
  CRegistry registry;
  if (!registry.Connect(corekit::kHKeyLocalMachine)) return false;
  if (!registry.Open(keys.productKey.c_str(), CRegistry::permissionRead)) return false;
  return registry.GetStringValue(name, value) != 0;
}

void DeleteDesktopLink(UninstallSystem& system) {
  const std::string desktop = system.DesktopFolder();
  if (desktop.empty()) {
    CDebug::dprintf("NvUninst: no desktop folder, no shortcut to delete\n");
  } else {
    system.RemoveFile(desktop + "\\" + kLinkFileName);
  }
  system.RedrawScreen();
}

// "NvSVC.EXE -u" from the installed folder; true when it ran.
bool RunServiceRemoval(UninstallSystem& system, const UninstallKeys& keys) {
  std::string installed;
  if (!ReadProductString(keys, "InstalledPath", installed) || installed.empty()) {
    CDebug::dprintf("NvUninst: no InstalledPath, the service is removed here\n");
    return false;
  }
  const std::string program = installed + "\\" + kServiceProgram;
  const std::string commandLine = std::string(kServiceProgram) + " -u";
  const uint32_t error = system.RunHidden(program, commandLine, kServiceProgramWaitMs);
  if (error == 0) {
    CDebug::dprintf("NvUninst: \"%s\" ran\n", program.c_str());
    return true;
  }
  char text[1024];
  std::snprintf(text, sizeof text, "Execute Fail(%u)\n(%s)\n(%s)", static_cast<unsigned>(error),
                program.c_str(), commandLine.c_str());
  corekit::ShowMessageBox(nullptr, "NvUninst", text, corekit::kMbOk | corekit::kMbIconError);
  return false;
}

// Stop and delete without a word: the service may well not exist.
void RemoveDriverService(corekit::ServiceControlApi& services) {
  corekit::ServiceHandle manager = nullptr;
  if (services.OpenManager(corekit::service::kManagerAllAccess, manager) != 0) return;
  corekit::ServiceHandle service = nullptr;
  if (services.Open(manager, kDriverService, corekit::service::kAllAccess, service) == 0) {
    services.Stop(service);
    services.Delete(service);
    services.Close(service);
  }
  services.Close(manager);
}

void EndLease(const UninstallKeys& keys, const char* pathValue) {
  std::string path;
  if (!ReadProductString(keys, pathValue, path) || path.empty()) return;
  if (!IsAdapterTcpIpKey(path, keys.servicesKey)) {
    CDebug::dprintf("NvUninst: %s \"%s\" is no adapter's TCP/IP key: skipped\n", pathValue, path.c_str());
    return;
  }
  CRegistry adapter;
  // Open only: a recorded key that no longer exists is not made again.
  if (!adapter.uOpenKey(corekit::kHKeyLocalMachine, path.c_str())) {
    CDebug::dprintf("NvUninst: %s \"%s\" does not open (%d)\n", pathValue, path.c_str(),
                    adapter.GetErrorCode());
    return;
  }
  adapter.SetDoubleWordValue(kLeaseValue, 0);
}

void DeleteKeyTree(const std::string& path) {
  CRegistry registry;
  if (registry.Connect(corekit::kHKeyLocalMachine)) registry.DeleteKey(path.c_str());
}

}  // namespace

bool IsAdapterTcpIpKey(const std::string& path, const std::string& servicesKey) {
  const std::string upper = nv::text::ToUpperAscii(path);
  const std::string prefix = nv::text::ToUpperAscii(servicesKey) + "\\";
  if (upper.compare(0, prefix.size(), prefix) != 0) return false;
  std::vector<std::string> parts;
  for (size_t start = prefix.size();;) {
    const size_t bar = upper.find('\\', start);
    parts.push_back(upper.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  const auto plain = [](const std::string& name) {
    return !name.empty() && name.find_first_not_of(". ") != std::string::npos &&
           name.find('/') == std::string::npos;
  };
  if (parts.size() == 4 && parts[0] == "TCPIP" && parts[1] == "PARAMETERS" && parts[2] == "INTERFACES")
    return plain(parts[3]);
  if (parts.size() == 3 && plain(parts[0]) && parts[0] != "TCPIP")
    return (parts[1] == "PARAMETERS" && parts[2] == "TCPIP") ||
           (parts[1] == "TCPIP" && parts[2] == "PARAMETERS");
  return false;
}

UninstallSystem::~UninstallSystem() = default;

int UninstallFirstPhase(UninstallSystem& system, corekit::ServiceControlApi& services,
                        const UninstallKeys& keys) noexcept {
  try {
    // Entry lines: an installer's trace shows both phases and their order.
    CDebug::dprintf("UninstInitialize Entry\n");
    DeleteDesktopLink(system);
    if (system.IsNtFamily()) {
      if (!RunServiceRemoval(system, keys)) {
        const nv::service::SetupResult removed = nv::service::RemoveService(services, kLauncherService);
        CDebug::dprintf("NvUninst: %s", removed.message.c_str());
      }
      RemoveDriverService(services);
      EndLease(keys, "szBindPath1");
      EndLease(keys, "szBindPath2");
    } else {
      DeleteKeyTree(keys.vxdKey + "\\DHCP");
    }
    DeleteKeyTree(keys.productKey);
  } catch (...) {
    CDebug::dprintf("NvUninst: the first phase ended by an exception\n");
  }
  return 0;
}

int UninstallSecondPhase(UninstallSystem& system, void* window, const UninstallKeys& keys) noexcept {
  try {
    CDebug::dprintf("UninstUnInitialize Entry\n");
    for (const std::string* key : {&keys.runKey, &keys.runOnceKey}) {
      CRegistry run;
      if (run.uOpenKey(corekit::kHKeyLocalMachine, key->c_str())) run.DeleteValue(keys.runValue.c_str());
    }
    // Unattended (tests, silent removals) the answer is no: nothing restarts on its own.
    const int answer =
        corekit::ShowMessageBox(window, kDoneCaption, kRestartQuestion, corekit::kMbYesNo, kIdNo);
    if (answer == corekit::kIdYes) system.Restart();
  } catch (...) {
    CDebug::dprintf("NvUninst: the second phase ended by an exception\n");
  }
  return 0;
}

}  // namespace nv::uninstall
