#include "corekit/os_version.h"

#include <cstdio>

#include "corekit/debug.h"
#include "os_facts.h"
#include "platform/text.h"

OsVersionRecord ReportedWithoutManifest(OsVersionRecord record) {
  constexpr uint32_t kWindows8Major = 6, kWindows8Minor = 2, kWindows8Build = 9200;
  const bool after8 = record.dwMajorVersion > kWindows8Major ||
                      (record.dwMajorVersion == kWindows8Major && record.dwMinorVersion > kWindows8Minor);
  if (record.dwPlatformId == kPlatformNT && after8) {
    record.dwMajorVersion = kWindows8Major;
    record.dwMinorVersion = kWindows8Minor;
    record.dwBuildNumber = kWindows8Build;
  }
  return record;
}

std::string ClassifyWindowsVersion(uint32_t platformId, uint32_t major, uint32_t minor) {
  std::string name;
  switch (platformId) {
    case kPlatformWin32s:
      name = "Win31";
      break;
    case kPlatformWindows:
      if (minor == 0) name = "WIN95";
      if (minor == 10) name = "WIN98";
      if (minor == 90) name = "WINME";
      break;
    case kPlatformNT:
      if (major == 4) name = "WINNT";
      if (major == 5) name = minor == 1 ? "WINXP" : "WIN2000S";
      if (major == 6) name = "VISTA";
      break;
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "Unknown(dwMajor=%u, Minor=%u)", major, minor);
      name = text;
    }
  }
  return nv::text::ToUpperAscii(name);
}

std::string NormalizeLanguageCode(std::string_view setting) {
  // Three characters, not bytes: a stray non-ASCII letter is never split.
  size_t end = 0;
  for (int chars = 0; end < setting.size() && chars < 3; ++chars) {
    ++end;
    while (end < setting.size() && (static_cast<unsigned char>(setting[end]) & 0xC0) == 0x80) ++end;
  }
  return nv::text::ToUpperAscii(setting.substr(0, end));
}

std::string LanguageCodeFromLocale(std::string_view locale) {
  const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
  std::string_view territory;
  if (const size_t us = locale.find('_'); us != std::string_view::npos && us == language.size()) {
    territory = locale.substr(us + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
  }
  struct Entry {
    const char* language;
    const char* territory;  // null: any
    const char* code;
  };
  static constexpr Entry kTable[] = {
      {"en", "US", "ENU"},    {"en", nullptr, "ENG"}, {"ko", nullptr, "KOR"}, {"ja", nullptr, "JPN"},
      {"zh", "TW", "CHT"},    {"zh", "HK", "CHT"},    {"zh", "MO", "CHT"},    {"zh", nullptr, "CHS"},
      {"de", nullptr, "DEU"}, {"fr", nullptr, "FRA"}, {"es", nullptr, "ESN"}, {"it", nullptr, "ITA"},
      {"pt", "BR", "PTB"},    {"pt", nullptr, "PTG"}, {"ru", nullptr, "RUS"}, {"nl", nullptr, "NLD"},
  };
  for (const Entry& e : kTable) {
    if (language == e.language && (e.territory == nullptr || territory == e.territory)) return e.code;
  }
  return "ENG";
}

COSversion::COSversion() noexcept {
  try {
    nv::corekit::OsFacts facts = nv::corekit::QueryOsFacts();
    if (facts.versionKnown) {
      m_osvi = std::move(facts.version);
      m_name = ClassifyWindowsVersion(m_osvi.dwPlatformId, m_osvi.dwMajorVersion, m_osvi.dwMinorVersion);
      CDebug::dprintf("COSversion(%s) %u.%u build %u, platform %u\n", m_name.c_str(), m_osvi.dwMajorVersion,
                      m_osvi.dwMinorVersion, m_osvi.dwBuildNumber, m_osvi.dwPlatformId);
    }
    m_systemDir = std::move(facts.systemDir);
    m_windowsDir = std::move(facts.windowsDir);
    m_language = NormalizeLanguageCode(facts.languageSetting);
  } catch (...) {  // out of memory: the members stay as far as they got
  }
}

int COSversion::SystemExit(bool restart) const noexcept {
  return nv::corekit::RequestSystemExit(restart, isNT());
}
