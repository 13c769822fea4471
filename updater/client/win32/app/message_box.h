// Message boxes of the update client.  With NV_NO_MESSAGEBOX=1 (unattended runs, tests) no box
// is shown: the text becomes the trace line "MessageBox(<caption>): <text>" and the box counts
// as answered with `unattendedAnswer`.
#pragma once
#include <string>

#include "platform/windows_api.h"

namespace nv::updater {

int ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer = IDOK);

}  // namespace nv::updater
