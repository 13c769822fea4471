// The About box's texts: the version line and the maker's fixed lines.
#pragma once
#include <string>

namespace nv::ui {

struct FileVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
};

// Reads a program file's version; the Win32 side asks the file's version resource.
class IVersionSource {
 public:
  virtual ~IVersionSource() = default;
  // False when the file has no readable version.
  virtual bool Read(const std::string& file, FileVersion& out) = 0;
};

inline constexpr const char* kProgramFile = "netvane.exe";

// "Netvane Version %d.%d (Build %04d)"; an unreadable version shows as 0.0 (Build 0000).
std::string VersionLine(IVersionSource& source, const std::string& file = kProgramFile);

// The maker's fixed lines, in the order the box shows them.
struct AboutLines {
  std::string notice;
  std::string web;
  std::string phone;  // phone and fax joined by five blanks
  std::string mail;
};
AboutLines MakerLines();

}  // namespace nv::ui
