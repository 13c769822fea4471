// Netvane.exe: the tray program.  It takes no command-line arguments.
#include "corekit/debug.h"
#include "netvane_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    CNetvaneApp app(instance);
    if (!app.InitInstance()) return app.exitCode();
    return app.Run();
  } catch (...) {
    CDebug::dprintf("Netvane: stopped by an unexpected error\n");
    return CNetvaneApp::kExitUnexpected;
  }
}
