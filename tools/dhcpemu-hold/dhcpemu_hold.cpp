// dhcpemu-hold: arms the DHCP emulation for one adapter and keeps it armed until standard input
// ends (or SIGTERM/SIGINT), so that a DHCP client can be driven against it by hand or by
// scripts/lab/dhcp-interop.sh.  Prints "armed" once the adapter's requests are answered, and at
// the end "declined A.B.C.D" when the client declined the address.
//
//   dhcpemu-hold MAC ADDRESS MASK GATEWAY|0 DNS
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "nvserv/dhcpemu.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

bool ParseIpv4(const char* text, std::uint32_t& out) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
      d > 255)
    return false;
  out = (a << 24) | (b << 16) | (c << 8) | d;
  return true;
}

bool ParseMac(const char* text, std::uint8_t (&out)[6]) {
  unsigned v[6];
  char tail;
  if (std::sscanf(text, "%x:%x:%x:%x:%x:%x%c", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6)
    return false;
  for (int i = 0; i < 6; ++i) {
    if (v[i] > 255) return false;
    out[i] = static_cast<std::uint8_t>(v[i]);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  _uIPINFO info{};
  if (argc != 6 || !ParseMac(argv[1], info.ucMacAddr) || !ParseIpv4(argv[2], info.dwIPAddr) ||
      !ParseIpv4(argv[3], info.dwSubnetMask) ||
      !(std::strcmp(argv[4], "0") == 0 || ParseIpv4(argv[4], info.dwGateway))) {
    std::fprintf(stderr, "usage: dhcpemu-hold MAC ADDRESS MASK GATEWAY|0 DNS\n");
    return 64;
  }
  std::snprintf(info.szDns, sizeof info.szDns, "%s", argv[5]);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);

  CDHCPemu emu;
  if (!emu.DrvOpen() || !emu.SetStartDHCP(info)) {
    std::fprintf(stderr, "dhcpemu-hold: %s\n", emu.LastError().c_str());
    return 1;
  }
  std::printf("armed\n");
  std::fflush(stdout);
  char buf[256];
  while (!g_stop) {
    pollfd in{0, POLLIN, 0};
    if (::poll(&in, 1, 200) > 0 && ::read(0, buf, sizeof buf) <= 0) break;
  }
  const std::uint32_t declined = emu.DeclinedAddress();
  emu.SetEndDHCP();
  emu.DrvClose();
  if (declined != 0)
    std::printf("declined %u.%u.%u.%u\n", declined >> 24, (declined >> 16) & 255, (declined >> 8) & 255,
                declined & 255);
  return 0;
}
