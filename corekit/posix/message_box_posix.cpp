#include "corekit/debug.h"
#include "message_box_platform.h"

namespace corekit::detail {

// No desktop to show a box on natively: the text goes to the trace, answered as unattended.
int ShowPlatformMessageBox(const MessageBoxRequest& request) noexcept {
  CDebug::dprintf("MessageBox(%s): %s\n", request.caption.c_str(), request.text.c_str());
  return request.unattendedAnswer;
}

}  // namespace corekit::detail
