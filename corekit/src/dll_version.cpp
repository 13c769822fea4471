#include "corekit/dll_version.h"

#include <cstdio>

#include "corekit/debug.h"
#include "corekit/os_version.h"
#include "dll_version_platform.h"

namespace {

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool DecimalPart(std::string_view part, uint32_t& value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!part.empty() && blank(part.front())) part.remove_prefix(1);
  while (!part.empty() && blank(part.back())) part.remove_suffix(1);
  if (part.empty()) return false;
  uint64_t number = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<uint64_t>(c - '0');
    if (number > UINT32_MAX) return false;
  }
  value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace

VersionNumbers ParseVersionText(std::string_view text) {
  std::vector<std::string_view> parts = SplitAt(text, '.');
  if (parts.size() < 3) parts = SplitAt(text, ',');
  VersionNumbers version;
  if (parts.size() < 3) return version;
  uint32_t numbers[3] = {};
  for (int n = 0; n < 3; ++n)
    if (!DecimalPart(parts[n], numbers[n])) return version;
  return {numbers[0], numbers[1], numbers[2], true};
}

std::vector<std::string> VersionFileCandidates(std::string_view windowsDir, std::string_view systemDir,
                                               std::string_view currentDir, std::string_view name) {
  const auto in = [&](std::string_view folder) { return std::string(folder) + "\\" + std::string(name); };
  return {in(windowsDir), in(systemDir), in(currentDir), std::string(name)};
}

std::string FileVersionSubBlock(const std::vector<uint8_t>& translation, uint16_t defaultLanguage) {
  char path[64];
  // The first entry also when there are several: the default language need not be among them.
  if (translation.size() >= 4) {
    // Two little-endian words: language, then code page; each printed high byte first.
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%02X%02X%02X%02X\\FileVersion", translation[1],
                  translation[0], translation[3], translation[2]);
  } else {
    std::snprintf(path, sizeof path, "\\StringFileInfo\\%04X04B0\\FileVersion", defaultLanguage);
  }
  return path;
}

namespace {

// False when `path` has no version resource; else `found` tells whether it holds the text.
bool ResourceVersionText(const std::string& path, bool& found, std::string& text) {
  return corekit::detail::ReadVersionResource(path, [&](const corekit::detail::VersionResource& r) {
    found = r.Text(FileVersionSubBlock(r.Translation(), corekit::detail::UserDefaultLanguage()), text);
  });
}

}  // namespace

bool ReadFileVersionText(const std::string& path, std::string& text) noexcept {
  try {
    bool found = false;
    return ResourceVersionText(path, found, text) && found;
  } catch (...) {
    return false;
  }
}

CDLLVersion::CDLLVersion(const std::string& file) {
  try {
    if (corekit::detail::ReadExportedVersion(file, m_version)) {
      m_fullVersion = std::to_string(m_version.major) + "." + std::to_string(m_version.minor) + "." +
                      std::to_string(m_version.build);
      return;
    }
    const COSversion os;
    const auto candidates =
        VersionFileCandidates(os.m_windowsDir, os.m_systemDir, corekit::detail::CurrentDirectory(), file);
    for (const std::string& path : candidates) {
      bool found = false;
      if (!ResourceVersionText(path, found, m_fullVersion)) continue;
      if (found) m_version = ParseVersionText(m_fullVersion);
      return;
    }
  } catch (...) {
    CDebug::dprintf("CDLLVersion(%s): stopped by an error\n", file.c_str());
    m_version = {};
  }
}

CDLLVersion::~CDLLVersion() = default;
