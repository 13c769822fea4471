// The network the cable was last switched to by a runner, kept beside its log: nvchange runs
// once per change and must know which network it leaves to judge what is left of it.
#pragma once
#include <optional>
#include <string>

namespace nv::headless {

// "<installedPath>/Log/network" ("A" or "B"); empty without an installation folder.
std::string NetworkInForcePath(const std::string& installedPath);
// 0 = A, 1 = B; nothing when the file is missing or holds anything else.
std::optional<int> ReadNetworkInForce(const std::string& path);
// Written whole and renamed over the old one; false when it could not be.
bool WriteNetworkInForce(const std::string& path, int network);

}  // namespace nv::headless
