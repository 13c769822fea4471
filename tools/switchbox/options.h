// Command line of the switch-box simulator.
#pragma once
#include <string>
#include <vector>

#include "switch_box.h"

namespace nv::switchbox {

struct Options {
  std::string cable = "cable";  // port facing the workstation
  std::string port_a = "br-a";  // bridge toward network A
  std::string port_b = "br-b";  // bridge toward network B
  Port initial = Port::A;       // a box connects the inside network after power-on
  std::string pidfile;          // empty: none
  bool verbose = false;         // report ignored frames on stderr
  bool help = false;
};

// Returns false with `error` set for an unknown option, a missing value or a
// bad --initial; the caller prints the usage.
[[nodiscard]] bool ParseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

[[nodiscard]] const char* Usage() noexcept;

}  // namespace nv::switchbox
