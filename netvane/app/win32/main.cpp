// Netvane.exe: the tray program.  Its only command-line argument is the folder picker's switch,
// which the tray program gives it when it starts it as the console user.
#include "corekit/debug.h"
#include "folder_picker_process.h"
#include "netvane_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    // Before the single-instance rule: the picker is not a second tray program.
    if (const std::optional<int> picked = nv::app::RunFolderPickerSwitch()) return *picked;
    CNetvaneApp app(instance);
    if (!app.InitInstance()) return app.exitCode();
    return app.Run();
  } catch (...) {
    CDebug::dprintf("Netvane: stopped by an unexpected error\n");
    return CNetvaneApp::kExitUnexpected;
  }
}
