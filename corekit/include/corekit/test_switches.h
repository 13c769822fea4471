// Test switches: environment variables that point a program at a test server or port, turn its
// message boxes into trace lines, or send its trace to a file of the caller's choosing
// (NV_UPDATE_DEFAULT_SERVER, NV_UPDATE_FTP_PORT, NV_NO_MESSAGEBOX, NV_TRACE_FILE).  Only a test
// build honours them (CMake option NV_TEST_SWITCHES, on in the host and windows presets); a
// shipped build reads every one of them as unset, so nobody can steer an elevated program through
// its environment.  NV_TRACE=1 still turns the trace on in a shipped build, into the program's own
// log folder (ShippedTraceFile).
#pragma once
#include <string>

#include "corekit/export.h"

namespace nv::corekit {

// Whether this build honours the test switches.
COREKIT_API bool TestSwitchesOn() noexcept;

// The switch's value (UTF-8); empty when it is unset or the build ignores test switches.
COREKIT_API std::string ReadTestSwitch(const char* name) noexcept;

// NV_NO_MESSAGEBOX=1 in a test build: boxes become trace lines and count as answered.
COREKIT_API bool UnattendedMessageBoxes() noexcept;

// The trace file of a shipped program: "Log\trace-<name>.txt" beside the program (the log folder
// of the installation), with the program path's own separators; empty unless the path names a folder and a
// file.
COREKIT_API std::string ShippedTraceFile(const std::string& programPath);

}  // namespace nv::corekit
