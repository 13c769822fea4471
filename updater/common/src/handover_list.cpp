#include "updater/handover_list.h"

#include "platform/text.h"

namespace nv::updater {

std::string FormatHandOverList(const std::vector<HandOverEntry>& entries) {
  std::string text;
  for (const auto& e : entries)
    text += e.fileName + "|" + e.targetPath + "|" + e.flags + "|" + e.sha256 + "\r\n";
  return text;
}

bool IsSha256Text(std::string_view text) noexcept {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::string ListTextToUtf8(std::string_view bytes) {
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
  if (nv::text::IsValidUtf8(bytes)) return std::string(bytes);
  std::string text;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    text += LegacyListLineToUtf8(bytes.substr(start, end - start));
    start = end;
  }
  return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t bar = line.find('|', start);
    fields.push_back(
        line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) return fields;
    start = bar + 1;
  }
}

HandOverList ParseHandOverList(std::string_view bytes, PathStyle style) {
  HandOverList list;
  const std::string text = ListTextToUtf8(bytes);
  for (std::string_view raw : SplitLines(text)) {
    const std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (list.entries.size() >= kMaxEntries) {
      list.rejected.push_back("more than 50 entries: " + std::string(line));
      continue;
    }
    const auto fields = SplitFields(line);
    HandOverEntry entry;
    entry.fileName = std::string(Trim(fields[0]));
    if (fields.size() > 1) entry.targetPath = std::string(Trim(fields[1]));
    if (fields.size() > 2) entry.flags = nv::text::ToUpperAscii(Trim(fields[2]));
    if (fields.size() > 3) entry.sha256 = nv::text::ToLowerAscii(Trim(fields[3]));
    bool aliases = false;
    for (const HandOverEntry& earlier : list.entries)
      aliases = aliases || NamesMayAlias(earlier.fileName, entry.fileName);
    if (!IsPlainFileName(entry.fileName)) {
      list.rejected.push_back("file name is not a plain name: " + std::string(line));
    } else if (!IsSafeAbsolutePath(entry.targetPath, style)) {
      list.rejected.push_back("target is not a safe absolute path: " + std::string(line));
    } else if (!IsSha256Text(entry.sha256)) {
      list.rejected.push_back("no SHA-256 of the staged file: " + std::string(line));
    } else if (aliases) {
      list.rejected.push_back("names an earlier line's staged file: " + std::string(line));
    } else {
      list.entries.push_back(std::move(entry));
    }
  }
  return list;
}

std::string ServiceNameOfFlags(std::string_view flags) {
  const size_t at = flags.find("SVC:");
  if (at == std::string_view::npos) return {};
  const std::string_view rest = flags.substr(at + 4);
  return std::string(rest.substr(0, rest.find_first_of(" \t,;")));
}

}  // namespace nv::updater
