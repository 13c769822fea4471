// CDLLVersion: the major, minor and build number of a file, read at construction.
//
// First the file is loaded as a module and asked through its "DllGetVersion" export; otherwise
// the version resource is read, with the name tried in the Windows folder, the system folder,
// the current folder and as given, in that order.  The resource's "FileVersion" text is split at
// "." and, when that does not give three numbers, at ",": "1, 2, 3, 4" and "1.2.3.4" both read
// as 1.2.3.  A missing or unreadable file stays invalid with version 0.0.0.
//
// Natively files carry no version resource and export nothing: every file reads as invalid.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corekit/export.h"

struct VersionNumbers {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  bool valid = false;
};

// The first three numbers of a version text: split at "." and, when that gives fewer than three
// parts, at ","; blanks around a number are ignored.  Invalid (0.0.0) when there are fewer than
// three parts or one of the three is not a decimal number that fits 32 bits.
COREKIT_API VersionNumbers ParseVersionText(std::string_view text);

// The four names the version resource is looked for under, in order.
COREKIT_API std::vector<std::string> VersionFileCandidates(std::string_view windowsDir,
                                                           std::string_view systemDir,
                                                           std::string_view currentDir,
                                                           std::string_view name);

// The resource path of the "FileVersion" text: from the first translation entry (language word,
// code-page word, as "\VarFileInfo\Translation" gives them) when there is one, else from the user's default
// language with code page 04B0.
COREKIT_API std::string FileVersionSubBlock(const std::vector<uint8_t>& translation,
                                            uint16_t defaultLanguage);

// The "FileVersion" text of `path`'s own version resource, at FileVersionSubBlock's place: the
// file is neither loaded as a module nor looked for in other folders (for callers that must not
// run a file's code to learn its version).  False when the file has no such text; natively always.
COREKIT_API bool ReadFileVersionText(const std::string& path, std::string& text) noexcept;

class COREKIT_API CDLLVersion {
 public:
  explicit CDLLVersion(const std::string& file);
  virtual ~CDLLVersion();

  uint32_t GetMajorVersion() const noexcept { return m_version.major; }
  uint32_t GetMinorVersion() const noexcept { return m_version.minor; }
  uint32_t GetBuildNumber() const noexcept { return m_version.build; }
  bool IsValid() const noexcept { return m_version.valid; }
  // The "FileVersion" text as the resource gives it ("major.minor.build" from DllGetVersion).
  const std::string& GetFullVersion() const noexcept { return m_fullVersion; }

 private:
  VersionNumbers m_version;
  std::string m_fullVersion;
};
