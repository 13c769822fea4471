#include "message_box.h"

#include "corekit/debug.h"
#include "corekit/test_switches.h"
#include "platform/text.h"

namespace nv::updater {

int ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer) {
  if (nv::corekit::UnattendedMessageBoxes()) {
    CDebug::dprintf("MessageBox(%s): %s\n", caption.c_str(), text.c_str());
    return unattendedAnswer;
  }
  return ::MessageBoxW(owner, nv::text::Widen(text).c_str(), nv::text::Widen(caption).c_str(), type);
}

}  // namespace nv::updater
