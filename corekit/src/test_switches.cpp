#include "corekit/test_switches.h"

#include "trace_output.h"

namespace nv::corekit {
namespace detail {
bool TestSwitchesBuiltIn() noexcept;  // corekit/switches/
}

bool TestSwitchesOn() noexcept { return detail::TestSwitchesBuiltIn(); }

std::string ReadTestSwitch(const char* name) noexcept {
  try {
    return TestSwitchesOn() ? ReadEnvironment(name) : std::string();
  } catch (...) {
    return {};
  }
}

bool UnattendedMessageBoxes() noexcept { return ReadTestSwitch("NV_NO_MESSAGEBOX") == "1"; }

std::string ShippedTraceFile(const std::string& programPath) {
  // Only beside a program named by a full path: a bare name would put the file wherever the
  // current folder happens to be.
  const size_t slash = programPath.find_last_of("\\/");
  if (slash == std::string::npos || slash + 1 == programPath.size()) return {};
  const std::string name = programPath.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  return programPath.substr(0, slash + 1) + "Log" + programPath[slash] + "trace-" + stem + ".txt";
}

}  // namespace nv::corekit
