#include "client_arguments.h"

#include <climits>

namespace nv::updater {

uint64_t LeadingUnsigned(const std::string& text) noexcept {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  if (text[i] == '+') ++i;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return value;
}

int LeadingInt(const std::string& text) noexcept {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string::npos) return 0;
  const bool negative = text[i] == '-';
  const uint64_t magnitude = LeadingUnsigned(text.substr(i + (negative || text[i] == '+' ? 1 : 0)));
  if (negative)
    return magnitude >= static_cast<uint64_t>(INT_MAX) + 1 ? INT_MIN : -static_cast<int>(magnitude);
  return magnitude >= static_cast<uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(magnitude);
}

std::optional<ClientArguments> ParseClientArguments(const std::vector<std::string>& args) {
  if (args.size() != 5) return std::nullopt;
  ClientArguments parsed;
  parsed.makerKey = args[0];
  parsed.productKey = args[1];
  parsed.trayWindow = LeadingUnsigned(args[2]);
  parsed.exitCommand = LeadingInt(args[3]);
  parsed.programPath = args[4];
  return parsed;
}

}  // namespace nv::updater
