// The server's version list "VerSion.txt": one line per file,
//   name | client filter | system filter | target folder | version | flags | force | variant | sha-256
// with the last four fields optional.  Parsing applies the filters and turns the target folder
// into a target path; a line whose name or target could place a file elsewhere is refused.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "updater/path_rules.h"

namespace nv::updater {

struct FileVersion {
  uint32_t major = 0, minor = 0, build = 0;
  bool operator<(const FileVersion& o) const {
    return std::tie(major, minor, build) < std::tie(o.major, o.minor, o.build);
  }
  bool operator==(const FileVersion& o) const {
    return std::tie(major, minor, build) == std::tie(o.major, o.minor, o.build);
  }
};

// "major.minor.build", each read as a decimal number (leading digits; missing parts are 0).
FileVersion ParseFileVersion(std::string_view text) noexcept;

// What the running client is and where its folders are.
struct ListContext {
  std::string clientCode;   // upper case; empty matches only "ALL"
  std::string versionName;  // "WINXP", "WIN98", ...; empty matches only "ALL"
  std::string windowsDir;
  std::string systemDir;
  std::string installedPath;
  PathStyle style = PathStyle::kWindows;
};

struct VersionEntry {
  std::string fileName;    // the name in the staging folder
  std::string remoteName;  // the name on the server: fileName, or "fileName.VARIANT"
  std::string targetPath;
  FileVersion version;
  std::string flags;
  bool force = false;
  std::string sha256;  // 64 lower-case hex digits; empty when the line carries none
};

struct VersionList {
  std::vector<VersionEntry> entries;
  std::vector<std::string> rejected;  // one trace text per refused line
};

// At most 50 entries are taken (lines that the filters skip do not count).
VersionList ParseVersionList(std::string_view text, const ListContext& context);

}  // namespace nv::updater
