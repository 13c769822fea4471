// Message texts of the string file write a line break as a backslash followed by "n".
#pragma once
#include <string>

namespace nv::core {

// Every two-character sequence backslash-n in `text` made a newline.
std::string MessageLineBreaks(std::string text);

}  // namespace nv::core
