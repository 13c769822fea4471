#include "update_selection.h"

#include "client_arguments.h"

namespace nv::updater {

std::vector<VersionEntry> SelectUpdates(const std::vector<VersionEntry>& entries,
                                        IFileVersionReader& versions) {
  std::vector<VersionEntry> chosen;
  for (const auto& entry : entries) {
    if (entry.force || versions.Read(entry.targetPath) < entry.version) chosen.push_back(entry);
  }
  return chosen;
}

bool ParseVersionText(const std::string& text, FileVersion& version) {
  for (char separator : {'.', ','}) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
      const size_t at = text.find(separator, start);
      parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
      if (at == std::string::npos) break;
      start = at + 1;
    }
    if (parts.size() >= 3) {
      const auto number = [](const std::string& part) {
        const uint64_t v = LeadingUnsigned(part);
        return v > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(v);
      };
      version = {number(parts[0]), number(parts[1]), number(parts[2])};
      return true;
    }
  }
  return false;
}

}  // namespace nv::updater
