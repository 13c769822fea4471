// What the tests that drive our programs under Wine share: running a program with its output
// caught, scratch folders, files read whole, service handles, waiting for a condition.
#pragma once
#include <chrono>
#include <string>
#include <thread>

#include "platform/unique_handle.h"
#include "platform/windows_api.h"

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

struct ServiceHandleTraits {
  using pointer = SC_HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::CloseServiceHandle(h); }
};
using UniqueService = nv::UniqueHandle<ServiceHandleTraits>;

// Polls `done` every 50 ms for up to `milliseconds`; its last answer.
template <typename Predicate>
bool WaitFor(Predicate done, int milliseconds = 15000) {
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

}  // namespace nv::testing
