// Sessions, tokens and process creation as the launcher needs them, on Windows.
#pragma once
#include "tray_launch.h"

namespace nv::service {

SessionApi& PlatformSessionApi();

}  // namespace nv::service
