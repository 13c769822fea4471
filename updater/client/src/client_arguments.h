// The update client's command line: maker key, product key (also the server folder), the tray
// program's window handle in decimal, the command id to send it, and the program to restart.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nv::updater {

struct ClientArguments {
  std::string makerKey;
  std::string productKey;
  uint64_t trayWindow = 0;  // read up to the first non-digit ("1234l" -> 1234)
  int exitCommand = 0;
  std::string programPath;
};

// Exactly five arguments (without the program name); anything else gives nothing.
std::optional<ClientArguments> ParseClientArguments(const std::vector<std::string>& args);

// The leading decimal digits of `text` (after blanks and a sign, as the C library reads them);
// 0 when there are none; saturates instead of overflowing.
uint64_t LeadingUnsigned(const std::string& text) noexcept;
int LeadingInt(const std::string& text) noexcept;

}  // namespace nv::updater
