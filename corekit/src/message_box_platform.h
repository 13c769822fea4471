// The platform half of ShowMessageBox: the real box, or the trace line when unattended.
#pragma once
#include "corekit/message_box.h"

namespace corekit::detail {

int ShowPlatformMessageBox(const MessageBoxRequest& request) noexcept;

}  // namespace corekit::detail
