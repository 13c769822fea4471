// The emulation runs tc and ip through the platform's program runner.
#pragma once
#include "platform/run_program.h"

namespace nvserv::posix {
using nv::posix::FindExecutable;
using nv::posix::ProgramResult;
using nv::posix::RunProgram;
}  // namespace nvserv::posix
