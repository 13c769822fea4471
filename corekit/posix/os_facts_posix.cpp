#include <sys/utsname.h>

#include <cstdlib>

#include "corekit/debug.h"
#include "os_facts.h"

namespace nv::corekit {
namespace {

// The locale that chooses message texts, in POSIX precedence.
std::string_view MessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace

OsFacts QueryOsFacts() {
  OsFacts facts;
  // An NT-family system of the 6.x line: every caller's NT path is the one that fits Linux best.
  facts.versionKnown = true;
  facts.version.dwPlatformId = kPlatformNT;
  facts.version.dwMajorVersion = 6;
  facts.version.dwMinorVersion = 1;
  struct utsname uts {};
  if (::uname(&uts) == 0) facts.version.szCSDVersion = std::string(uts.sysname) + " " + uts.release;
  facts.systemDir = "/usr/bin";
  facts.windowsDir = "/etc";
  facts.languageSetting = LanguageCodeFromLocale(MessagesLocale());
  return facts;
}

// A development machine is never shut down by a program under test.
int RequestSystemExit(bool restart, bool) noexcept {
  CDebug::dprintf("SystemExit(%d): not done on this platform\n", restart ? 1 : 0);
  return 0;
}

}  // namespace nv::corekit
