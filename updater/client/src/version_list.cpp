#include "version_list.h"

#include "platform/text.h"
#include "updater/handover_list.h"

namespace nv::updater {
namespace {

uint32_t LeadingNumber(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > UINT32_MAX) return UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

bool Contains(std::string_view text, std::string_view word) {
  return !word.empty() && text.find(word) != std::string_view::npos;
}

bool FilterAccepts(std::string_view field, const std::string& want) {
  const std::string upper = nv::text::ToUpperAscii(field);
  return upper == "ALL" || Contains(upper, want);
}

void ReplaceAll(std::string& text, std::string_view word, std::string_view with) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + with.size())) {
    text.replace(at, word.size(), with);
  }
}

// The target folder: WINDIR and SYSDIR stand for the system's folders, an empty field or
// INSTALLEDPATH for the installation folder; anything else is taken as it stands (upper-cased).
std::string TargetFolder(std::string_view field, const ListContext& context) {
  std::string folder = nv::text::ToUpperAscii(field);
  if (Contains(folder, "WINDIR")) {
    ReplaceAll(folder, "WINDIR", context.windowsDir);
  } else if (Contains(folder, "SYSDIR")) {
    ReplaceAll(folder, "SYSDIR", context.systemDir);
  } else if (folder.empty() || folder == "INSTALLEDPATH") {
    folder = context.installedPath;
  }
  return folder;
}

}  // namespace

FileVersion ParseFileVersion(std::string_view text) noexcept {
  FileVersion v;
  const size_t first = text.find('.');
  v.major = LeadingNumber(text.substr(0, first));
  if (first == std::string_view::npos) return v;
  const size_t second = text.find('.', first + 1);
  v.minor =
      LeadingNumber(text.substr(first + 1, second == std::string_view::npos ? second : second - first - 1));
  if (second == std::string_view::npos) return v;
  v.build = LeadingNumber(text.substr(second + 1));
  return v;
}

VersionList ParseVersionList(std::string_view bytes, const ListContext& context) {
  VersionList list;
  const std::string text = ListTextToUtf8(bytes);
  for (std::string_view raw : SplitLines(text)) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const auto fields = SplitFields(line);
    const auto field = [&](size_t i) { return i < fields.size() ? Trim(fields[i]) : std::string_view(); };
    const auto refuse = [&](const char* why) {
      list.rejected.push_back(std::string(why) + ": " + std::string(line));
    };
    if (fields.size() < 5) {
      refuse("fewer than five fields");
      continue;
    }
    if (!FilterAccepts(field(1), context.clientCode) || !FilterAccepts(field(2), context.versionName))
      continue;

    VersionEntry entry;
    entry.fileName = std::string(field(0));
    entry.remoteName = entry.fileName;
    if (fields.size() > 7 && !field(7).empty()) {
      const std::string variant = nv::text::ToUpperAscii(field(7));
      if (Contains(variant, context.versionName)) {
        entry.remoteName += "." + context.versionName;
      } else if (!Contains(variant, "NONE")) {
        continue;  // a file for another Windows version
      }
    }
    if (!IsPlainFileName(entry.fileName) || !IsPlainFileName(entry.remoteName)) {
      refuse("file name is not a plain name");
      continue;
    }
    const std::string folder = TargetFolder(field(3), context);
    if (!IsSafeAbsolutePath(folder, context.style)) {
      refuse("target folder is not a safe absolute path");
      continue;
    }
    entry.targetPath = JoinPath(folder, entry.fileName, context.style);
    entry.version = ParseFileVersion(field(4));
    entry.flags = std::string(field(5));
    entry.force = nv::text::EqualsNoCase(field(6), "TRUE");
    if (fields.size() > 8 && !field(8).empty()) {
      if (!IsSha256Text(field(8))) {
        refuse("the ninth field is no SHA-256 in hex");
        continue;
      }
      entry.sha256 = nv::text::ToLowerAscii(field(8));
    }
    if (list.entries.size() >= kMaxEntries) {
      refuse("more than 50 entries");
      continue;
    }
    list.entries.push_back(std::move(entry));
  }
  return list;
}

}  // namespace nv::updater
