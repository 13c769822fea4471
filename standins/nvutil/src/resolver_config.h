// The name servers of a resolver configuration in the form of /etc/resolv.conf.
#pragma once
#include <cstdint>

#include <string_view>
#include <vector>
#include "nvutil/ip_address.h"

namespace nvutil {

// IPv4 "nameserver" lines in order, each address once; comments ('#', ';'), other keywords,
// IPv6 servers and malformed lines are passed over. At most `limit` servers are kept.
std::vector<std::uint32_t> ParseResolverConfig(std::string_view text, std::size_t limit = 16);
// Every "nameserver" line's address, IPv4 and IPv6 (a zone index "%eth0" is dropped).
std::vector<IpAddress> ParseResolverServers(std::string_view text, std::size_t limit = 16);

}  // namespace nvutil
