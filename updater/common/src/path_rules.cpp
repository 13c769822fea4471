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
  if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  const std::string_view number = std::string_view(stem).substr(3);
  // Windows counts the superscript digits one to three (UTF-8 C2 B9, C2 B2, C2 B3) as port numbers too.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

// "LONGFI~1.DLL" -> stem "LONGFI~1", extension "DLL".
bool IsShortNameForm(const std::string& key, std::string& prefix, std::string& extension) {
  const size_t dot = key.rfind('.');
  const std::string stem = key.substr(0, dot);
  extension = dot == std::string::npos ? std::string() : key.substr(dot + 1);
  const size_t tilde = stem.rfind('~');
  if (tilde == std::string::npos || tilde == 0 || tilde + 1 == stem.size() || stem.size() > 8 ||
      extension.size() > 3 || stem.find('.') != std::string::npos)
    return false;
  for (size_t i = tilde + 1; i < stem.size(); ++i)
    if (stem[i] < '0' || stem[i] > '9') return false;
  prefix = stem.substr(0, tilde);
  return true;
}

// Whether Windows could give `longKey` the short name `shortKey`: the short stem's prefix starts
// the long stem (blanks and dots dropped), the short extension starts the long one.
bool ShortNameFits(const std::string& shortKey, const std::string& longKey) {
  std::string prefix, shortExtension;
  if (!IsShortNameForm(shortKey, prefix, shortExtension)) return false;
  const size_t dot = longKey.rfind('.');
  std::string stem;
  for (char c : longKey.substr(0, dot))
    if (c != ' ' && c != '.') stem += c;
  const std::string extension = dot == std::string::npos ? std::string() : longKey.substr(dot + 1);
  return stem.compare(0, prefix.size(), prefix) == 0 &&
         extension.compare(0, shortExtension.size(), shortExtension) == 0;
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

namespace {

// Text Windows cannot hold in a name: not UTF-8, a replacement character (what a failed code-page
// conversion leaves), or one of the characters names may not contain.
bool IsUnrepresentable(std::string_view text) noexcept {
  return !nv::text::IsValidUtf8(text) || text.find("\xEF\xBF\xBD") != std::string_view::npos ||
         text.find_first_of("<>\"|?*") != std::string_view::npos;
}

}  // namespace

bool IsPlainFileName(std::string_view name) noexcept {
  if (name.empty() || HasControlCharacter(name) || IsUnrepresentable(name)) return false;
  if (name.find_first_of("/\\:") != std::string_view::npos) return false;
  if (name.find("..") != std::string_view::npos) return false;
  if (IsOnlyDotsAndBlanks(name)) return false;
  try {
    return !IsDeviceName(name);
  } catch (...) {
    return false;
  }
}

std::string StagedNameKey(std::string_view name) {
  std::string key = nv::text::ToUpperAscii(name);
  while (!key.empty() && (key.back() == ' ' || key.back() == '.')) key.pop_back();
  return key;
}

bool NamesMayAlias(std::string_view a, std::string_view b) {
  const std::string keyA = StagedNameKey(a);
  const std::string keyB = StagedNameKey(b);
  return keyA == keyB || ShortNameFits(keyA, keyB) || ShortNameFits(keyB, keyA);
}

bool IsSafeAbsolutePath(std::string_view path, PathStyle style) noexcept {
  if (HasControlCharacter(path) || IsUnrepresentable(path)) return false;
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
      // "C:\Net\CON\x" reaches the console, whatever follows.
      try {
        if (style == PathStyle::kWindows && IsDeviceName(part)) return false;
      } catch (...) {
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
