// Updagent.exe: the update client.  Five arguments (maker key, product key, tray window, exit
// command, program path); anything else ends it at once.
// The common-control, shell and socket headers need the types of windows.h first.
#include "platform/windows_api.h"

#include <commctrl.h>
#include <shellapi.h>
#include <winsock2.h>

#include <cstdlib>

#include "client_arguments.h"
#include "corekit/debug.h"
#include "corekit/ini_file.h"
#include "corekit/os_version.h"
#include "corekit/test_switches.h"
#include "message_box.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "update_dialog.h"

namespace {

std::vector<std::string> Arguments() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(nv::text::Narrow(argv[i]));
  ::LocalFree(argv);
  return args;
}

std::string ProfileLanguage() {
  wchar_t value[16] = {};
  ::GetProfileStringW(L"intl", L"sLanguage", L"ENG", value, 16);
  std::string code = nv::text::ToUpperAscii(nv::text::Narrow(value)).substr(0, 3);
  return code.empty() ? "ENG" : code;
}

int Run() {
  using namespace nv::updater;
  const auto args = ParseClientArguments(Arguments());
  if (!args) return 1;
  CDebug::startConsoleWin(80, 40, "Updagent");

  nv::win32::UniqueModule resources(::LoadLibraryExW(L"NvRes.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!resources) {
    ShowMessageBox(nullptr, "Updagent", "Not found Netvane Resource File(Netvane.Dll)", MB_OK | MB_ICONSTOP);
    return 2;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  WSADATA wsa{};
  ::WSAStartup(MAKEWORD(2, 2), &wsa);

  UpdateProgram program;
  program.resources = reinterpret_cast<HINSTANCE>(resources.get());
  program.makerKey = args->makerKey;
  program.productKey = args->productKey;
  program.trayWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(args->trayWindow));
  program.exitCommand = args->exitCommand;
  program.programPath = args->programPath;
  const CUpdateSettings settings(ProductKeyPath(args->makerKey, args->productKey));
  program.installedPath = settings.InstalledPath();

  CIniFile strings(program.installedPath + "\\Netvane" + ProfileLanguage() + ".ini");
  strings.ReadFile();
  program.texts = LoadUpdateTexts(strings);

  // Test builds only: another default server or FTP port.
  if (const std::string server = nv::corekit::ReadTestSwitch("NV_UPDATE_DEFAULT_SERVER"); !server.empty()) {
    program.defaults.address = server;
  }
  if (const std::string port = nv::corekit::ReadTestSwitch("NV_UPDATE_FTP_PORT"); !port.empty()) {
    const int value = LeadingInt(port);
    if (value > 0 && value < 65536) program.port = static_cast<uint16_t>(value);
  }
  const COSversion os;
  program.list.versionName = os.m_name;
  program.list.windowsDir = os.m_windowsDir;
  program.list.systemDir = os.m_systemDir;
  program.list.installedPath = program.installedPath;
  program.list.style = PathStyle::kWindows;
  if (!program.installedPath.empty()) ::SetCurrentDirectoryW(nv::text::Widen(program.installedPath).c_str());

  UpdateDialog dialog(program);
  const INT_PTR result = dialog.RunModal(program.resources, IDD_UPDATE, nullptr);
  ::WSACleanup();
  return result == IDOK ? 0 : 3;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return Run();
  } catch (...) {
    CDebug::dprintf("Updagent: ended by an exception\n");
    return 4;
  }
}
