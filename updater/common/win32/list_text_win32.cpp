#include "platform/text.h"
#include "updater/handover_list.h"

namespace nv::updater {
std::string LegacyListLineToUtf8(std::string_view line) { return nv::text::AnsiToUtf8(line); }
}  // namespace nv::updater
