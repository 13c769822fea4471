// Which listed files are newer than the installed ones.
#pragma once
#include <string>
#include <vector>

#include "version_list.h"

namespace nv::updater {

// Reads the major, minor and build number of an installed file.
class IFileVersionReader {
 public:
  virtual ~IFileVersionReader() = default;
  // 0.0.0 when the file is missing or carries no version, so any listed version is newer.
  virtual FileVersion Read(const std::string& path) noexcept = 0;
};

// The entries forced ("TRUE") or listed with a higher version than the installed target.
std::vector<VersionEntry> SelectUpdates(const std::vector<VersionEntry>& entries,
                                        IFileVersionReader& versions);

// The version reader of the running platform (the file's version resource on Windows; natively
// files carry no version and read as 0.0.0).
IFileVersionReader& NativeFileVersionReader() noexcept;

// "1.2.3.4", "1, 2, 3, 4" or "1,2,3": the first three numbers; fewer than three parts is no
// version (false).
bool ParseVersionText(const std::string& text, FileVersion& version);

}  // namespace nv::updater
