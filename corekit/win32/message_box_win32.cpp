#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "message_box_platform.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace corekit::detail {
namespace {

bool Unattended() { return nv::corekit::UnattendedMessageBoxes(); }

}  // namespace

int ShowPlatformMessageBox(const MessageBoxRequest& request) noexcept {
  if (Unattended()) {
    CDebug::dprintf("MessageBox(%s): %s\n", request.caption.c_str(), request.text.c_str());
    return request.unattendedAnswer;
  }
  return ::MessageBoxW(static_cast<HWND>(request.owner), nv::text::Widen(request.text).c_str(),
                       nv::text::Widen(request.caption).c_str(), request.type);
}

}  // namespace corekit::detail
