// Runs a program of the build under Wine from a test, its output caught in a file.
#pragma once
#include <string>

namespace nv::testing {

struct ProgramRun {
  bool started = false;
  unsigned long exitCode = 0;
  std::string output;  // stdout and stderr, as written
};

// Runs `commandLine` (program first), waits up to `timeoutMs`, kills it when it still runs then.
ProgramRun RunProgram(const std::wstring& commandLine, unsigned long timeoutMs = 60000);

// The folder of the running test program (the build's bin folder), with a trailing "\".
std::wstring ProgramFolder();

// A fresh empty folder under the temporary folder, with a trailing "\".
std::wstring MakeScratchFolder(const std::wstring& prefix);

// The whole file as bytes; empty when it cannot be read.
std::string ReadFileText(const std::wstring& path);

}  // namespace nv::testing
