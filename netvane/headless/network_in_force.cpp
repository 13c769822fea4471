#include "network_in_force.h"

#include <cstdio>
#include <fstream>

namespace nv::headless {

std::string NetworkInForcePath(const std::string& installedPath) {
  return installedPath.empty() ? std::string() : installedPath + "/Log/network";
}

std::optional<int> ReadNetworkInForce(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  if (line == "A") return 0;
  if (line == "B") return 1;
  return std::nullopt;
}

bool WriteNetworkInForce(const std::string& path, int network) {
  if (path.empty()) return false;
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << (network != 0 ? "B" : "A") << '\n';
    out.flush();
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace nv::headless
