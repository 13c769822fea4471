#include "netvane/about_text.h"

#include <cstdio>

namespace nv::ui {

std::string VersionLine(IVersionSource& source, const std::string& file) {
  FileVersion version;
  if (!source.Read(file, version)) version = FileVersion{};
  char line[96];
  std::snprintf(line, sizeof line, "Netvane Version %u.%u (Build %04u)", version.major, version.minor,
                version.build);
  return line;
}

AboutLines MakerLines() {
  AboutLines lines;
  lines.notice = "Copyright (C) 2001-2026 Tarn Networks. All rights reserved.";
  lines.web = "http://www.tarn.example";
  char phone[128];
  std::snprintf(phone, sizeof phone, "%s     %s", "Tel +82-2-555-0100", "Fax +82-2-555-0199");
  lines.phone = phone;
  lines.mail = "support@tarn.example";
  return lines;
}

}  // namespace nv::ui
