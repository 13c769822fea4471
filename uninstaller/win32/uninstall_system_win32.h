// The uninstaller's system on Windows.
#pragma once
#include "uninstall.h"

namespace nv::uninstall {

UninstallSystem& PlatformUninstallSystem();

}  // namespace nv::uninstall
