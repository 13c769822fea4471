#include "runner_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace nv::headless {

const char* const kRunnerUsage =
    "usage: nvchange [--quiet] [--gateway-wait MS] A|B\n"
    "       nvchange --configure-lab [--both-dhcp] ADAPTER INSTALL_DIR\n"
    "       nvchange --help\n"
    "Lab fault injection: --fault-emulation-mac MAC, --fault-emulation-gateway A.B.C.D\n"
    "\n"
    "Runs one network change to network A or B with the configuration in the registry store\n"
    "(NV_REGISTRY_DB), checks that nothing of the network left remains on the adapter\n"
    "(addresses, routes, neighbour entries, name servers of NV_RESOLV_CONF or /etc/resolv.conf)\n"
    "and that the new network's gateway answers.\n"
    "Exit status: 0 done, 1 not run, 2 abandoned at the switch box, 3 the gateway does not\n"
    "answer, 4 the isolation check failed (its message names each leftover; the adapter is\n"
    "cleared).\n"
    "--configure-lab writes the lab's default configuration: ADAPTER by DHCP on network A,\n"
    "fixed settings on network B, Ethernet control frames, logging into INSTALL_DIR/Log.\n"
    "With --both-dhcp both networks are served by DHCP and nothing but the adapter is stored.\n";

namespace {

std::optional<int> ParseNetwork(const std::string& s) {
  if (s == "A" || s == "a") return 0;
  if (s == "B" || s == "b") return 1;
  return std::nullopt;
}

}  // namespace

std::optional<std::array<uint8_t, 6>> ParseMac(const std::string& text) {
  // Exactly six pairs of hex digits: scanf's %x would also take signs and blanks ("-1" as ff).
  if (text.size() != 17) return std::nullopt;
  std::array<uint8_t, 6> mac{};
  for (size_t i = 0; i < 6; ++i) {
    const size_t at = i * 3;
    if (i < 5 && text[at + 2] != ':') return std::nullopt;
    if (!std::isxdigit(static_cast<unsigned char>(text[at])) ||
        !std::isxdigit(static_cast<unsigned char>(text[at + 1])))
      return std::nullopt;
    mac[i] = static_cast<uint8_t>(std::stoul(text.substr(at, 2), nullptr, 16));
  }
  return mac;
}

std::optional<uint32_t> ParseDotted(const std::string& text) {
  unsigned a, b, c, d;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 ||
      c > 255 || d > 255)
    return std::nullopt;
  return (a << 24) | (b << 16) | (c << 8) | d;
}

std::optional<RunnerOptions> ParseRunnerOptions(const std::vector<std::string>& args, std::string& error) {
  RunnerOptions o;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.action = RunnerOptions::Action::Help;
      return o;
    } else if (a == "--quiet") {
      o.quiet = true;
    } else if (a == "--configure-lab") {
      o.action = RunnerOptions::Action::ConfigureLab;
    } else if (a == "--both-dhcp") {
      o.bothDhcp = true;
    } else if (a == "--gateway-wait") {
      if (i + 1 >= args.size()) {
        error = "--gateway-wait needs a number of milliseconds";
        return std::nullopt;
      }
      const std::string& v = args[++i];
      char* end = nullptr;
      const unsigned long ms = std::strtoul(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || ms > 60000) {
        error = "--gateway-wait takes 0 to 60000 milliseconds, not '" + v + "'";
        return std::nullopt;
      }
      o.gatewayWaitMs = static_cast<unsigned>(ms);
    } else if (a == "--fault-emulation-mac" || a == "--fault-emulation-gateway") {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return std::nullopt;
      }
      const std::string& v = args[++i];
      if (a == "--fault-emulation-mac") {
        o.faultEmulationMac = ParseMac(v);
        if (!o.faultEmulationMac) {
          error = "'" + v + "' is not a MAC address like 02:00:00:00:00:01";
          return std::nullopt;
        }
      } else {
        o.faultEmulationGateway = ParseDotted(v);
        if (!o.faultEmulationGateway) {
          error = "'" + v + "' is not an IPv4 address";
          return std::nullopt;
        }
      }
    } else if (!a.empty() && a[0] == '-') {
      error = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      positional.push_back(a);
    }
  }
  if (o.action == RunnerOptions::Action::ConfigureLab) {
    if (positional.size() != 2 || positional[0].empty() || positional[1].empty()) {
      error = "--configure-lab takes ADAPTER and INSTALL_DIR";
      return std::nullopt;
    }
    o.adapter = positional[0];
    o.installDir = positional[1];
    return o;
  }
  if (o.bothDhcp) {
    error = "--both-dhcp goes with --configure-lab";
    return std::nullopt;
  }
  if (positional.size() != 1) {
    error = positional.empty() ? "name the network to change to: A or B" : "only one network can be named";
    return std::nullopt;
  }
  const auto network = ParseNetwork(positional[0]);
  if (!network) {
    error = "the network is A or B, not '" + positional[0] + "'";
    return std::nullopt;
  }
  o.target = *network;
  return o;
}

}  // namespace nv::headless
