// Command line of the headless change runner.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace nv::headless {

struct RunnerOptions {
  enum class Action { Change, ConfigureLab, Help };
  Action action = Action::Change;
  int target = 0;           // 0 = network A, 1 = network B
  std::string adapter;      // --configure-lab: the workstation's interface
  std::string installDir;   // --configure-lab: where the log folder lives
  unsigned gatewayWaitMs = 3000;
  bool quiet = false;
};

// Parses argv[1..]; on a mistake returns nothing and sets `error` to a one-line reason.
std::optional<RunnerOptions> ParseRunnerOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kRunnerUsage;

}  // namespace nv::headless
