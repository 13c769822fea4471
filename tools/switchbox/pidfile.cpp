#include "pidfile.h"

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace nv::switchbox {

bool WritePidFile(const std::string& path, pid_t pid, std::string& error) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    f << pid << '\n';
    f.flush();
    if (!f) {
      error = "cannot write " + tmp;
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + tmp + ": " + std::strerror(errno);
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

void RemovePidFileIfOurs(const std::string& path, pid_t pid) noexcept {
  try {
    std::ifstream f(path);
    long named = 0;
    if (f >> named && named == static_cast<long>(pid)) ::unlink(path.c_str());
  } catch (...) {
    // Leaving a stale pidfile is harmless: readers check the process.
  }
}

}  // namespace nv::switchbox
