#include "update_agent.h"

#include <cstdio>

#include "netvane/product_key.h"

namespace nv::app {

std::string UpdateAgentParameters(uint32_t window, unsigned exitCommand, const std::string& programPath) {
  char number[32];
  std::snprintf(number, sizeof number, "%ul %u", window, exitCommand);
  return std::string(nv::core::kMakerKeyName) + " Netvane-H " + number + " \"" + programPath + "\"";
}

}  // namespace nv::app
