// NvSVC.exe: "-i" installs the launcher service, "-u" removes it, "-NvMGR" runs it (the manager
// starts it so); anything else ends at once with 0.
#include <cstdio>
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "launcher_service.h"
#include "platform/text.h"
#include "platform/windows_api.h"
#include "service_command.h"
#include "service_dispatch_win32.h"
#include "service_setup.h"
#include "session_api_win32.h"

namespace {

void Print(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  CDebug::dprintf("%s", text.c_str());
}

std::string ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return nv::text::Narrow(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace nv::service;
  const std::string first = argc > 1 ? nv::text::Narrow(argv[1]) : std::string();
  switch (ParseServiceCommand(argc > 1 ? first.c_str() : nullptr, kServiceName)) {
    case ServiceCommand::kInstall: {
      const SetupResult result =
          InstallService(corekit::PlatformServiceControl(), kServiceName, ModulePath());
      Print(result.message);
      return result.ok ? 0 : 1;
    }
    case ServiceCommand::kRemove: {
      const SetupResult result = RemoveService(corekit::PlatformServiceControl(), kServiceName);
      Print(result.message);
      return result.ok ? 0 : 1;
    }
    case ServiceCommand::kRun: {
      CLauncherService service(kServiceName, PlatformServiceHost(), PlatformSessionApi(), Print);
      if (RunServiceDispatcher(service)) return 0;
      CDebug::dprintf("NvSVC: not started by the service control manager (%lu)\n", ::GetLastError());
      return 1;
    }
    case ServiceCommand::kNone:
      break;
  }
  return 0;
}
