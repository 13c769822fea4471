// switchbox-send: test tool that broadcasts control frames from one
// interface, good ones or ones with a chosen fault, as the workstation would.
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "control_frame.h"
#include "netvane/switch_frame.h"
#include "packet_socket.h"

namespace {

const char kUsage[] =
    "usage: switchbox-send --if IF (--net a|b | --hex BYTES) [--lead] [--count N] [--delay-ms MS]\n"
    "                      [--fault short|unicast|type|mac|command]\n"
    "Sends the 60-byte control frame with IF's MAC (with --lead behind 55 55 55 55 55 D5),\n"
    "or exactly the hex BYTES given (at least 14).  --fault spoils one field of the frame.\n";

int Usage(const std::string& why) {
  std::fprintf(stderr, "switchbox-send: %s\n%s", why.c_str(), kUsage);
  return 2;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& out) {
  std::string digits;
  for (char c : text) {
    if (c == ' ' || c == ':' || c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    digits += c;
  }
  if (digits.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return true;
}

int Fail(const std::string& error) {
  std::fprintf(stderr, "switchbox-send: %s\n", error.c_str());
  return 1;
}

// Spoils one field of a good frame; false for an unknown fault name.
bool ApplyFault(const std::string& fault, bool lead, std::vector<std::uint8_t>& frame) {
  using namespace nv::switchbox;
  const std::size_t p = lead ? kLeadSize : 0;
  if (fault.empty()) return true;
  if (fault == "short")
    frame.resize(kFrameSize - 1);
  else if (fault == "unicast")
    frame[p] = 0x02;
  else if (fault == "type")
    frame[p + 13] = 0x27;
  else if (fault == "mac")
    frame[p + 19] ^= 0x01;
  else if (fault == "command")
    frame[p + 21] ^= 0xFF;
  else
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace nv::switchbox;
  std::map<std::string, std::string> opt;  // option -> value
  bool lead = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--lead") {
      lead = true;
    } else if ((a == "--if" || a == "--net" || a == "--hex" || a == "--fault" || a == "--count" ||
                a == "--delay-ms") &&
               i + 1 < argc) {
      opt[a] = argv[++i];
    } else {
      return Usage("bad argument: " + a);
    }
  }
  const std::string iface = opt["--if"], net = opt["--net"], hex = opt["--hex"];
  const long count = opt.count("--count") ? std::strtol(opt["--count"].c_str(), nullptr, 10) : 1;
  const long delay_ms = opt.count("--delay-ms") ? std::strtol(opt["--delay-ms"].c_str(), nullptr, 10) : 0;
  if (iface.empty()) return Usage("--if is required");
  if (net.empty() == hex.empty()) return Usage("give either --net or --hex");
  if (count < 1 || count > 1000 || delay_ms < 0 || delay_ms > 10000)
    return Usage("bad --count or --delay-ms");

  PacketSocket socket;
  std::string error;
  if (!socket.Open(iface, error)) return Fail(error);

  std::vector<std::uint8_t> frame;
  if (!hex.empty()) {
    if (!ParseHex(hex, frame) || frame.size() < 14) return Usage("--hex needs at least 14 bytes of hex");
  } else {
    if (net != "a" && net != "b") return Usage("--net takes a or b");
    Mac mac{};
    if (!socket.ReadMac(mac, error)) return Fail(error);
    // The product's own frame, so the lab checks it against the box's reading.
    const auto built = nv::core::MakeRGFrame(mac, lead, net == "a" ? 0 : 1);
    frame.assign(built.begin(), built.end());
    if (!ApplyFault(opt["--fault"], lead, frame)) return Usage("unknown --fault " + opt["--fault"]);
  }
  for (long i = 0; i < count; ++i) {
    if (i > 0 && delay_ms > 0) ::usleep(static_cast<useconds_t>(delay_ms) * 1000);
    if (!socket.Send(frame.data(), frame.size(), error)) return Fail(error);
  }
  return 0;
}
