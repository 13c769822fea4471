// Where CNetUtil's trace lines go unless the caller sets a sink: the platform's debug output.
#pragma once
#include <string>

namespace nvutil {
void WritePlatformTrace(const std::string& line) noexcept;
}
