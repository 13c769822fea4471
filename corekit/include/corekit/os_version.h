// COSversion: the running Windows version, classified once at construction into the short name
// the programs branch on ("WIN95", "WINNT", "WINXP", ...), plus the system language and folders.
// Windows 8 and every later version read as 6.2, "VISTA" (see ReportedWithoutManifest).
//
// Natively (Linux) the object describes an NT-family system, version 6.1, so callers take their
// NT paths; the language comes from LC_ALL, LC_MESSAGES or LANG ("ENG" when none is set), the
// system folder is /usr/bin and the Windows folder /etc.  SystemExit does nothing there.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "corekit/export.h"

// The platform's version record, as its version query fills it.
struct OsVersionRecord {
  uint32_t dwOSVersionInfoSize = 0;
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  std::string szCSDVersion;  // service-pack text
};

constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;  // the Windows 95 family
constexpr uint32_t kPlatformNT = 2;

// The record as the platform's version query hands it to a program without a compatibility
// manifest: an NT version after Windows 8 (6.2) reads as 6.2 build 9200, so every rule written for
// major version 6 ("VISTA", the newer route call) applies on current Windows too.
COREKIT_API OsVersionRecord ReportedWithoutManifest(OsVersionRecord record);

// The version class name (upper case) of a platform id and version; empty when none applies.
COREKIT_API std::string ClassifyWindowsVersion(uint32_t platformId, uint32_t major, uint32_t minor);

// A profile language setting cut to three characters and upper-cased.
COREKIT_API std::string NormalizeLanguageCode(std::string_view setting);

// Windows' three-letter language abbreviation for a POSIX locale name ("ko_KR.UTF-8" -> "KOR");
// "ENG" for "C", "POSIX", an empty name and languages without an entry.
COREKIT_API std::string LanguageCodeFromLocale(std::string_view locale);

class COREKIT_API COSversion {
 public:
  COSversion() noexcept;

  bool isNT() const noexcept { return m_osvi.dwPlatformId == kPlatformNT; }
  // Windows 2000 or later; only meaningful together with isNT.
  bool isNT5() const noexcept { return m_osvi.dwMajorVersion >= 5; }
  // Shuts the machine down, or restarts it; returns the platform call's result (0: failed).
  int SystemExit(bool restart) const noexcept;

  OsVersionRecord m_osvi;  // left empty when the version query fails
  std::string m_name;      // version class; empty when none applies
  std::string m_systemDir;
  std::string m_windowsDir;
  std::string m_language;  // three upper-case letters
};
