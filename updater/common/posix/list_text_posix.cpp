#include "updater/handover_list.h"

namespace nv::updater {
// No ANSI code page here: the bytes stay as they are, and a name that is not UTF-8 is refused.
std::string LegacyListLineToUtf8(std::string_view line) { return std::string(line); }
}  // namespace nv::updater
