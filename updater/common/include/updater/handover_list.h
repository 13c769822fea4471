// The hand-over list "VerSion.txt" that the update client writes into the installation folder and
// the finisher reads: one line per staged file, "name|target path|flags|sha-256" ending in CR LF.
// The SHA-256 is that of the bytes the client downloaded (and, with a key, verified): the finisher
// installs a staged file only while it still has them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "updater/path_rules.h"

namespace nv::updater {

inline constexpr const char* kVersionListName = "VerSion.txt";
inline constexpr const char* kStagingFolderName = "UpdateTemp";
inline constexpr size_t kMaxEntries = 50;

struct HandOverEntry {
  std::string fileName;
  std::string targetPath;
  std::string flags;
  std::string sha256 = {};  // 64 lower-case hex digits
};

std::string FormatHandOverList(const std::vector<HandOverEntry>& entries);

struct HandOverList {
  std::vector<HandOverEntry> entries;  // flags upper-cased
  std::vector<std::string> rejected;   // one trace text per refused line
};

// Lines trimmed; empty lines and "#" lines skipped; three "|" fields, each trimmed, the flags
// upper-cased; at most kMaxEntries.  A line whose file name is not a plain name, whose target
// is not a safe absolute path, which has no SHA-256 or whose name reaches an earlier line's
// staged file (see NamesMayAlias) is refused: the list is a file on disk, and the finisher
// replaces programs with it.
HandOverList ParseHandOverList(std::string_view text, PathStyle style);

// The service name of "SVC:<name>" in upper-cased flags, up to the next blank, comma or
// semicolon (flags combine several words); empty when there is none.
std::string ServiceNameOfFlags(std::string_view flags);

// 64 hex digits.
bool IsSha256Text(std::string_view text) noexcept;

// A list's text as UTF-8: a leading byte-order mark is dropped; a list that is not valid UTF-8
// was saved in the system's ANSI code page (an editor's default) and is converted line by line,
// as the string files are.  Natively there is no ANSI code page: such bytes stay and the names
// holding them are refused.
std::string ListTextToUtf8(std::string_view bytes);
// One line of a legacy list in the ANSI code page, to UTF-8 (the platform's part of the above).
std::string LegacyListLineToUtf8(std::string_view line);

// Splits text into lines at LF (a CR before it is dropped).
std::vector<std::string_view> SplitLines(std::string_view text);

// Splits at every "|".
std::vector<std::string_view> SplitFields(std::string_view line);

}  // namespace nv::updater
