#include "platform/testing/child_process.h"

namespace nv::testing {

int RunProgram(const std::vector<std::string>& argv, std::string* output, int timeoutMs) {
  ChildProcess child(argv, output != nullptr);
  if (output != nullptr) *output = child.ReadAll();
  return child.Wait(timeoutMs);
}

}  // namespace nv::testing
