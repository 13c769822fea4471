// libFuzzer target: any bytes as an INI file, read by CIniFile, written back, read and written
// again.  Both writes must be the same bytes: what the reader makes of a file survives a round
// trip through the writer.  Built and run by scripts/fuzz-ini.sh.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "corekit/ini_file.h"

namespace {

struct ScratchDir {
  std::string path;
  ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp ? tmp : "/tmp") + "/ini-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) __builtin_trap();
    path = pattern;
  }
  ~ScratchDir() {
    for (const char* name : {"/input.ini", "/first.ini", "/second.ini"}) std::remove((path + name).c_str());
    ::rmdir(path.c_str());
  }
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchDir dir;
  const std::string input = dir.path + "/input.ini";
  const std::string first = dir.path + "/first.ini";
  const std::string second = dir.path + "/second.ini";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

  CIniFile read(input);
  if (!read.ReadFile()) __builtin_trap();
  read.GetValue("Menu", "Change", 1);
  read.GetValueI("Menu", "Count");
  read.SetPath(first);
  if (!read.WriteFile()) __builtin_trap();

  CIniFile again(first);
  if (!again.ReadFile()) __builtin_trap();
  again.SetPath(second);
  if (!again.WriteFile()) __builtin_trap();
  if (Slurp(first) != Slurp(second)) __builtin_trap();
  return 0;
}
