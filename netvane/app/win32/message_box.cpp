#include "message_box.h"

#include "corekit/message_box.h"

namespace nv::app {

int ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer) {
  return corekit::ShowMessageBox(owner, caption, text, type, unattendedAnswer);
}

}  // namespace nv::app
