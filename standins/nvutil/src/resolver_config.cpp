#include "resolver_config.h"

#include <algorithm>
#include <limits>

#include "nvutil/ipv4.h"

namespace nvutil {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view NextWord(std::string_view& rest) {
  std::size_t start = 0;
  while (start < rest.size() && IsBlank(rest[start])) ++start;
  std::size_t end = start;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view word = rest.substr(start, end - start);
  rest.remove_prefix(end);
  return word;
}

}  // namespace

std::vector<std::uint32_t> ParseResolverConfig(std::string_view text, std::size_t limit) {
  std::vector<std::uint32_t> servers;
  for (const IpAddress& address : ParseResolverServers(text, std::numeric_limits<std::size_t>::max())) {
    if (servers.size() == limit) break;
    if (address.version == 4) servers.push_back(address.v4());
  }
  return servers;
}

std::vector<IpAddress> ParseResolverServers(std::string_view text, std::size_t limit) {
  std::vector<IpAddress> servers;
  while (!text.empty() && servers.size() < limit) {
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (const std::size_t comment = line.find_first_of("#;"); comment != std::string_view::npos)
      line = line.substr(0, comment);
    if (NextWord(line) != "nameserver") continue;
    std::string_view word = NextWord(line);
    if (const std::size_t zone = word.find('%'); zone != std::string_view::npos) word = word.substr(0, zone);
    const auto address = ParseIp(word);
    if (!address || !NextWord(line).empty()) continue;
    if (std::find(servers.begin(), servers.end(), *address) == servers.end()) servers.push_back(*address);
  }
  return servers;
}

}  // namespace nvutil
