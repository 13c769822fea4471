// Sends the switch box's control frame by hand, through the packet driver interface:
//   rgsend --list
//   rgsend <adapter> <count> <A|B> [reverse]
// <adapter> is a MAC (aa:bb:cc:dd:ee:ff) from the --list table or an adapter name.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "netvane/switch_frame.h"
#include "rgtarn/RG_DevIO.h"

namespace {

std::string MacText(const unsigned char* mac) {
  char text[18];
  std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                mac[5]);
  return text;
}

bool ParseMac(const char* text, unsigned char* mac) {
  unsigned m[6];
  char tail;
  if (std::sscanf(text, "%2x:%2x:%2x:%2x:%2x:%2x%c", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5], &tail) != 6) {
    return false;
  }
  for (int i = 0; i < 6; ++i) mac[i] = static_cast<unsigned char>(m[i]);
  return true;
}

int Usage() {
  std::fprintf(stderr, "usage: rgsend --list\n       rgsend <adapter MAC or name> <count> <A|B> [reverse]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CRG_DevIO driver(nullptr);
  tagADAPTER_DESC table[CRG_DevIO::kMaxAdapters];
  const int adapters = driver.GetNicName(table, CRG_DevIO::kMaxAdapters);
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (int i = 0; i < adapters; ++i) {
      std::printf("%s\t%s\t%s\n", MacText(table[i].ucMacAddr).c_str(), table[i].szAdapterName,
                  table[i].szDescription);
    }
    return adapters > 0 ? 0 : 1;
  }
  if (argc < 4 || argc > 5) return Usage();
  const long count = std::strtol(argv[2], nullptr, 10);
  const std::string network = argv[3];
  const bool reverse = argc == 5 && std::strcmp(argv[4], "reverse") == 0;
  if (count <= 0 || (network != "A" && network != "B") || (argc == 5 && !reverse)) return Usage();

  std::string adapter = argv[1];
  unsigned char wanted[6];
  if (ParseMac(argv[1], wanted)) {
    adapter.clear();
    for (int i = 0; i < adapters && adapter.empty(); ++i) {
      if (std::memcmp(table[i].ucMacAddr, wanted, 6) == 0) adapter = table[i].szAdapterName;
    }
    if (adapter.empty()) {
      std::fprintf(stderr, "rgsend: no adapter with MAC %s (see rgsend --list)\n", argv[1]);
      return 3;
    }
  }
  nv::core::MacAddress mac{};
  if (!driver.DrvOpen(adapter) || !driver.GetNicMac(mac.data()) || !driver.SetFilter()) {
    std::fprintf(stderr, "rgsend: the packet driver does not open %s\n", adapter.c_str());
    return 3;
  }
  nv::core::RGFrame frame = nv::core::MakeRGFrame(mac, reverse, network == "B" ? 1 : 0);
  LPRG_PACKET packet = driver.AllocPacket();
  driver.InitPacket(packet, frame.data(), static_cast<unsigned>(frame.size()));
  long sent = 0;
  for (long i = 0; i < count; ++i) sent += driver.SndFrame(packet) == 1 ? 1 : 0;
  driver.FreePacket(packet);
  driver.DrvClose();
  std::printf("sent %ld of %ld frames for network %s%s on %s (%s)\n", sent, count, network.c_str(),
              reverse ? " reversed" : "", adapter.c_str(), MacText(mac.data()).c_str());
  return sent == count ? 0 : 1;
}
