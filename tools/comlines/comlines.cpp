// Sets the switch box's control lines by hand: comlines <port> <A|B>...
// Opens COM<port> once and, for each argument in turn, drives DTR and RTS low (A) or high (B).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/serial_port.h"

int main(int argc, char** argv) {
  const unsigned long port = argc > 2 ? std::strtoul(argv[1], nullptr, 10) : 0;
  if (port == 0) {
    std::fprintf(stderr, "usage: comlines <port number> <A|B>...\n");
    return 2;
  }
  std::string why;
  auto com = nv::serial::OpenComPort(static_cast<unsigned>(port), &why);
  if (!com) {
    std::fprintf(stderr, "comlines: %s\n", why.c_str());
    return 2;
  }
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string network = argv[i];
    if (network != "A" && network != "B") {
      std::fprintf(stderr, "comlines: %s is neither A nor B\n", argv[i]);
      return 2;
    }
    const bool high = network == "B";
    const bool ok = com->SetLines(high, high);
    std::printf("COM%lu %s: DTR and RTS %s%s\n", port, network.c_str(), high ? "high" : "low",
                ok ? "" : " (refused)");
    if (!ok) status = 1;
  }
  return status;
}
