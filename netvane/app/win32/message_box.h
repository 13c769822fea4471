// Message boxes of the tray program, through Corekit's (corekit/message_box.h): with the
// environment variable NV_NO_MESSAGEBOX set to 1 (unattended runs, tests) no box is shown: the text
// becomes a trace line "MessageBox(<caption>): <text>" and the box counts as answered with
// `unattendedAnswer`.
#pragma once
#include <string>

#include "platform/windows_api.h"

namespace nv::app {

int ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer = IDOK);

}  // namespace nv::app
