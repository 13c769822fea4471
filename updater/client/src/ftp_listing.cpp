#include "ftp_listing.h"

#include <vector>

#include "client_arguments.h"
#include "updater/path_rules.h"

namespace nv::updater {
namespace {

// The first `count` blank-separated words and where the rest begins.
std::vector<std::string_view> Words(std::string_view line, size_t count, size_t& rest) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (words.size() < count) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    words.push_back(line.substr(start, i - start));
  }
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  rest = i;
  return words;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::optional<FtpListing> ParseListLine(std::string_view raw) {
  const std::string_view line = Trim(raw);
  if (line.empty()) return std::nullopt;
  size_t rest = 0;
  if (line[0] == '-') {  // "-rw-r--r-- 1 owner group 1234 Jan 01 00:00 name"
    const auto words = Words(line, 8, rest);
    if (words.size() < 8 || rest >= line.size() || !AllDigits(words[4])) return std::nullopt;
    return FtpListing{std::string(line.substr(rest)), LeadingUnsigned(std::string(words[4]))};
  }
  if (line[0] >= '0' && line[0] <= '9') {  // "01-02-24  10:00AM  1234 name"
    const auto words = Words(line, 3, rest);
    if (words.size() < 3 || rest >= line.size() || !AllDigits(words[2])) return std::nullopt;
    return FtpListing{std::string(line.substr(rest)), LeadingUnsigned(std::string(words[2]))};
  }
  return std::nullopt;
}

}  // namespace nv::updater
