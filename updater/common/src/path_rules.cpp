#include "updater/path_rules.h"

#include <array>

#include "platform/text.h"

namespace nv::updater {
namespace {

bool IsSeparator(char c, PathStyle style) noexcept {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

bool HasControlCharacter(std::string_view text) noexcept {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

// Windows drops trailing dots and blanks from a path component, so ". ." or "... " act as "." or "..".
bool IsOnlyDotsAndBlanks(std::string_view part) noexcept {
  return !part.empty() && part.find_first_not_of(". ") == std::string_view::npos;
}

bool IsDeviceName(std::string_view name) {
  // "NUL.txt" opens the device as well: only the part before the first dot counts, and Windows
  // ignores trailing blanks and dots there.
  std::string stem(name.substr(0, name.find('.')));
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  stem = nv::text::ToUpperAscii(stem);
  static constexpr std::array<const char*, 6> kPlain = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kPlain) {
    if (stem == device) return true;
  }
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0)) {
    return stem[3] >= '0' && stem[3] <= '9';
  }
  return false;
}

}  // namespace

char Separator(PathStyle style) noexcept { return style == PathStyle::kWindows ? '\\' : '/'; }

std::string JoinPath(std::string_view dir, std::string_view name, PathStyle style) {
  std::string path(dir);
  if (path.empty() || !IsSeparator(path.back(), style)) path += Separator(style);
  path += name;
  return path;
}

std::string ParentDirectory(std::string_view path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i) {
    if (!IsSeparator(path[i - 1], style)) continue;
    // A root keeps its separator: "/" and "C:\" name folders, "" and "C:" do not.
    const bool root = i == 1 || (style == PathStyle::kWindows && i == 3 && path[1] == ':');
    return std::string(path.substr(0, root ? i : i - 1));
  }
  return {};
}

bool IsPlainFileName(std::string_view name) noexcept {
  if (name.empty() || HasControlCharacter(name)) return false;
  if (name.find_first_of("/\\:") != std::string_view::npos) return false;
  if (name.find("..") != std::string_view::npos) return false;
  if (IsOnlyDotsAndBlanks(name)) return false;
  try {
    return !IsDeviceName(name);
  } catch (...) {
    return false;
  }
}

bool IsSafeAbsolutePath(std::string_view path, PathStyle style) noexcept {
  if (HasControlCharacter(path)) return false;
  size_t rest = 0;
  if (style == PathStyle::kWindows) {
    const bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') &&
                       path[1] == ':' && IsSeparator(path[2], style);
    // "\\server\share...": both names present.
    bool unc = path.size() > 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style);
    if (unc) {
      size_t server = 2;
      while (server < path.size() && !IsSeparator(path[server], style)) ++server;
      unc = server > 2 && server + 1 < path.size() && !IsSeparator(path[server + 1], style);
    }
    if (!drive && !unc) return false;
    rest = drive ? 3 : 2;
    // Only the drive may carry a colon: "C:\a:b" names an alternate data stream.
    if (path.find(':', rest) != std::string_view::npos) return false;
    // "\\?\" and "\\.\" reach devices and bypass the path rules.
    if (unc && path.size() > 2 && (path[2] == '?' || path[2] == '.')) return false;
  } else {
    if (path.empty() || path[0] != '/') return false;
    rest = 1;
  }
  size_t start = rest;
  for (size_t i = rest; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i], style)) {
      const std::string_view part = path.substr(start, i - start);
      if (part == "." || part == ".." || (style == PathStyle::kWindows && IsOnlyDotsAndBlanks(part))) {
        return false;
      }
      start = i + 1;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) noexcept {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace nv::updater
