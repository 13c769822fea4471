// Other processes for tests: helper programs beside the test program, or the test program itself
// in a child role (a test's own main() dispatches on its arguments).  Natively and under Wine.
#pragma once
#include <string>
#include <vector>

namespace nv::testing {

// This test program's full path, and a program beside it (".exe" is added on Windows).
std::string SelfPath();
std::string SiblingProgram(const std::string& name);

// A started program; killed at destruction unless it was waited for.
class ChildProcess {
 public:
  ChildProcess() = default;
  // argv[0] is the program's path; the child's standard output goes to `output` when given
  // (read it with ReadAll before Wait), else it is discarded.
  explicit ChildProcess(const std::vector<std::string>& argv, bool captureOutput = false);
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return process_ != 0; }
  // Everything the child writes to its standard output, up to its end.
  std::string ReadAll();
  // Its exit code, or -1 when it did not start or ran past the limit (it is then killed).
  int Wait(int timeoutMs = 120000);
  // Asks the child to end (SIGTERM natively, so servers remove their sockets) and waits for it.
  void Terminate();
  // Ends the child at once, giving it no chance to clean up (SIGKILL natively), and reaps it.
  void Kill() noexcept;

 private:
  long long process_ = 0;
  long long output_ = -1;
};

// Starts, reads and waits in one step.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr, int timeoutMs = 120000);

}  // namespace nv::testing
