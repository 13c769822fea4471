#include "corekit/debug.h"
#include "message_box_platform.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace corekit::detail {
namespace {

bool Unattended() {
  wchar_t value[8] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", value, 8);
  return n == 1 && value[0] == L'1';
}

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
