// The tray program's way to start programs on Windows.
#pragma once
#include "program_start.h"

namespace nv::app {
IProgramStarter& PlatformProgramStarter();
}  // namespace nv::app
