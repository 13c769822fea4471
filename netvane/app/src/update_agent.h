// Starting the update client: its program file and the five arguments it takes.
#pragma once
#include <cstdint>
#include <string>

namespace nv::app {

inline constexpr const char* kUpdateAgentImage = "UPDAGENT.EXE";

// "%s %s %ul %d \"%s\"": maker key, product key, the tray window's handle as an unsigned number
// followed by the letter l (the update client reads the number and stops there), the exit
// command id and the tray program's full path.
std::string UpdateAgentParameters(uint32_t window, unsigned exitCommand, const std::string& programPath);

}  // namespace nv::app
