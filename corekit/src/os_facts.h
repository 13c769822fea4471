// What COSversion asks the platform (win32/ and posix/ implement it).
#pragma once
#include <string>

#include "corekit/os_version.h"

namespace nv::corekit {

struct OsFacts {
  bool versionKnown = false;
  OsVersionRecord version;
  std::string systemDir;
  std::string windowsDir;
  std::string languageSetting;  // raw, before cutting and upper-casing
};

OsFacts QueryOsFacts();
int RequestSystemExit(bool restart, bool nt) noexcept;

}  // namespace nv::corekit
