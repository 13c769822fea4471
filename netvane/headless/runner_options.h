// Command line of the headless change runner.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nv::headless {

struct RunnerOptions {
  enum class Action { Change, ConfigureLab, Help };
  Action action = Action::Change;
  int target = 0;          // 0 = network A, 1 = network B
  std::string adapter;     // --configure-lab: the workstation's interface
  std::string installDir;  // --configure-lab: where the log folder lives
  bool bothDhcp = false;   // --configure-lab --both-dhcp: no network has stored settings
  unsigned gatewayWaitMs = 3000;
  bool quiet = false;
  // Fault injection for the lab's own tests: the DHCP emulation answers another MAC, or
  // hands out another router, than the configuration says.
  std::optional<std::array<uint8_t, 6>> faultEmulationMac;
  std::optional<uint32_t> faultEmulationGateway;
};

std::optional<std::array<uint8_t, 6>> ParseMac(const std::string& text);
std::optional<uint32_t> ParseDotted(const std::string& text);

// Parses argv[1..]; on a mistake returns nothing and sets `error` to a one-line reason.
std::optional<RunnerOptions> ParseRunnerOptions(const std::vector<std::string>& args, std::string& error);

extern const char* const kRunnerUsage;

}  // namespace nv::headless
