// Message texts from the string file write a line break as a backslash followed by n.
#pragma once
#include <string>

namespace nv::ui {

// Every "\n" pair becomes a line break; other backslashes stay.
std::string MessageText(const std::string& stored);

}  // namespace nv::ui
