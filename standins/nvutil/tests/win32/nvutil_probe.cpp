// Runs one CNetUtil operation from the command line and prints its trace and result, so
// that a script can check the operation's effect on a network namespace from outside.
//   nvutil_probe delgw DEST | delarp ADDR | addgw GATEWAY [vista] | ifnum MAC | lease IFNUM 0|1
#include <cstdio>
#include <cstdlib>
#include <string>

#include "nvutil/net_util.h"

namespace {

bool ParseMac(const char* text, nvutil::MacAddress& mac) {
  unsigned b[6];
  if (std::sscanf(text, "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) != 6) return false;
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<std::uint8_t>(b[i]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: nvutil_probe delgw DEST | delarp ADDR | addgw GATEWAY [vista] | ifnum MAC | "
                 "lease IFNUM 0|1\n");
    return 2;
  }
  CNetUtil util;
  util.SetTraceSink([](const std::string& line) { std::fputs(line.c_str(), stdout); });
  const std::string op = argv[1];
  unsigned long result = 0;
  if (op == "delgw") {
    result = util.DelGWEntry(argv[2]);
  } else if (op == "delarp") {
    result = util.DelArpEnt(argv[2], nullptr);
  } else if (op == "addgw") {
    const bool vista = argc > 3 && std::string(argv[3]) == "vista";
    result = vista ? util.AddGWEntryVista("0.0.0.0", "0.0.0.0", argv[2], nullptr, 1)
                   : util.AddGWEntry("0.0.0.0", "0.0.0.0", argv[2], nullptr, 1);
  } else if (op == "ifnum") {
    nvutil::MacAddress mac{};
    if (!ParseMac(argv[2], mac)) return 2;
    result = util.GetInterfaceNum(mac);
  } else if (op == "lease" && argc > 3) {
    result = util.LeaseIP(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)), std::atoi(argv[3]));
  } else {
    return 2;
  }
  std::printf("result %lu error %lu\n", result, static_cast<unsigned long>(util.LastError()));
  return 0;
}
