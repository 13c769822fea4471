#include "uninstall_system_win32.h"

#include "corekit/os_version.h"
#include "corekit/shortcut.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "platform/windows_api.h"

namespace nv::uninstall {
namespace {

class Win32UninstallSystem : public UninstallSystem {
 public:
  bool IsNtFamily() override { return COSversion().isNT(); }

  std::string DesktopFolder() override {
    std::string folder;
    CShortCut().GetIconPath(folder);
    return folder;
  }

  void RemoveFile(const std::string& path) override { ::DeleteFileW(nv::text::Widen(path).c_str()); }

  void RedrawScreen() override {
    ::RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  uint32_t RunHidden(const std::string& program, const std::string& commandLine, uint32_t waitMs) override {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    std::wstring line = nv::text::Widen(commandLine);
    if (!::CreateProcessW(nv::text::Widen(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                          HIGH_PRIORITY_CLASS, nullptr, nullptr, &startup, &info))
      return ::GetLastError();
    nv::win32::UniqueKernelHandle process(info.hProcess);
    nv::win32::UniqueKernelHandle thread(info.hThread);
    if (::WaitForSingleObject(process.get(), waitMs) != WAIT_OBJECT_0) ::TerminateProcess(process.get(), 1);
    return 0;
  }

  void Restart() override { COSversion().SystemExit(true); }
};

}  // namespace

UninstallSystem& PlatformUninstallSystem() {
  static Win32UninstallSystem system;
  return system;
}

}  // namespace nv::uninstall
