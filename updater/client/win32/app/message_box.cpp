#include "message_box.h"

#include "corekit/debug.h"
#include "platform/text.h"

namespace nv::updater {

int ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, unsigned type,
                   int unattendedAnswer) {
  wchar_t value[8] = {};
  if (::GetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", value, 8) == 1 && value[0] == L'1') {
    CDebug::dprintf("MessageBox(%s): %s\n", caption.c_str(), text.c_str());
    return unattendedAnswer;
  }
  return ::MessageBoxW(owner, nv::text::Widen(text).c_str(), nv::text::Widen(caption).c_str(), type);
}

}  // namespace nv::updater
