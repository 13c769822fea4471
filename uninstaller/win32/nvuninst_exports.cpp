// NvUninst.dll: the two functions an installation program calls while it removes the product,
// exported undecorated so that it finds them by name (LoadLibrary + GetProcAddress):
//   int UninstInitialize(void)        before the product's files are removed, while NvSVC.EXE is
//                                     still on disk;
//   int UninstUnInitialize(HWND)      afterwards; the window owns the restart question.
// Both always return 0.
#include "corekit/nt_service.h"
#include "platform/windows_api.h"
#include "uninstall.h"
#include "uninstall_system_win32.h"

extern "C" __declspec(dllexport) int __stdcall UninstInitialize() {
  return nv::uninstall::UninstallFirstPhase(nv::uninstall::PlatformUninstallSystem(),
                                            corekit::PlatformServiceControl());
}

extern "C" __declspec(dllexport) int __stdcall UninstUnInitialize(HWND window) {
  return nv::uninstall::UninstallSecondPhase(nv::uninstall::PlatformUninstallSystem(), window);
}
