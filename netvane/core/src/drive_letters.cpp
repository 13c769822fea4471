#include "netvane/drive_letters.h"

namespace nv::core {
namespace {

bool IsSeparator(char c) { return c == ';' || c == ':'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::vector<std::string> ParseDriveList(std::string_view text) {
  std::vector<std::string> drives;
  size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    if (IsAsciiLetter(text[i])) drives.push_back(std::string(1, text[i]) + ":");
    while (i < text.size() && !IsSeparator(text[i])) ++i;
  }
  return drives;
}

bool IsDriveName(std::string_view drive) noexcept {
  return drive.size() == 2 && IsAsciiLetter(drive[0]) && drive[1] == ':';
}

}  // namespace nv::core
