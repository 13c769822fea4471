// No notification area natively: the shell answers version 0, so CSystemTray::Create fails
// and every tray operation does nothing, as on Windows before version 4.
#include "netvane/system_tray.h"

namespace {

class NativeTrayShell final : public TrayShell {
 public:
  unsigned WindowsMajorVersion() override { return 0; }
  bool CreateTargetWindow(CSystemTray&, std::uintptr_t) override { return false; }
  void DestroyTargetWindow() override {}
  std::uintptr_t TargetWindow() const override { return 0; }
  bool NotifyAdd(const TrayRecord&) override { return false; }
  bool NotifyModify(const TrayRecord&, unsigned) override { return false; }
  bool NotifyDelete(const TrayRecord&) override { return false; }
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
  std::uint32_t TickCount() override { return 0; }
  void ShowMenu(const TrayMenu&) override {}
  bool RunDefaultCommand(const TrayMenu&) override { return false; }
};

}  // namespace

std::unique_ptr<TrayShell> CreatePlatformTrayShell(std::uintptr_t) {
  return std::make_unique<NativeTrayShell>();
}
