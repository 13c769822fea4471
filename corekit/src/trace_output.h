// Where trace lines go (win32/ and posix/ implement it).
#pragma once
#include <string>
#include <string_view>

namespace nv::corekit {

// The variable's value as UTF-8; empty when it is not set.
std::string ReadEnvironment(const char* name);

// The running program's full path (UTF-8); empty when it cannot be had.
std::string ProgramPath();

// The platform's trace channel: the debugger output on Windows, stderr elsewhere.
void EmitTraceLine(std::string_view text) noexcept;

// Appends to the file (created when missing); failures are dropped.
void AppendTraceFile(const std::string& path, std::string_view text) noexcept;

// A console window for the trace: true when one is open afterwards (Windows only).
bool OpenTraceConsole(int width, int height, const char* title) noexcept;
void WriteTraceConsole(std::string_view text) noexcept;

}  // namespace nv::corekit
