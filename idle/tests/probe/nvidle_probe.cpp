// Test helper: a second process that uses NvIdle.
//   nvidle_probe get            prints the last input time
//   nvidle_probe reset          clears it
//   nvidle_probe init           NvIdleInit, prints its result
//   nvidle_probe window T MS    shows a window titled T for MS milliseconds
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nvidle/NvIdle.h"
#include "probe_window.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "get") == 0) {
    std::printf("%u\n", NvIdleGetLastInputTime());
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "reset") == 0) {
    NvIdleReset();
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "init") == 0) {
    std::printf("%d\n", NvIdleInit());
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "window") == 0) return ShowProbeWindow(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: nvidle_probe get|reset|init|window TITLE MS\n");
  return 1;
}
