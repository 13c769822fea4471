// Helper program for the process tests.  Runs its commands in order:
//   sleep MS          waits MS milliseconds
//   write FILE A B..  writes "A|B|.." to FILE and ends
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    if (command == "sleep" && i + 1 < argc) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[++i])));
    } else if (command == "write" && i + 1 < argc) {
      std::ofstream out(argv[++i], std::ios::binary);
      for (int k = i + 1; k < argc; ++k) out << (k > i + 1 ? "|" : "") << argv[k];
      return out.good() ? 0 : 1;
    } else {
      return 2;
    }
  }
  return 0;
}
