// The hand-over list "VerSion.txt" that the update client writes into the installation folder and
// the finisher reads: one line per staged file, "name|target path|flags" ending in CR LF.
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
};

std::string FormatHandOverList(const std::vector<HandOverEntry>& entries);

struct HandOverList {
  std::vector<HandOverEntry> entries;  // flags upper-cased
  std::vector<std::string> rejected;   // one trace text per refused line
};

// Lines trimmed; empty lines and "#" lines skipped; three "|" fields, each trimmed, the flags
// upper-cased; at most kMaxEntries.  A line whose file name is not a plain name or whose target
// is not a safe absolute path is refused: the list is a file on disk that anyone who can write
// the installation folder controls, and the finisher replaces programs with it.
HandOverList ParseHandOverList(std::string_view text, PathStyle style);

// The service name of "SVC:<name>" in upper-cased flags, up to the next blank, comma or
// semicolon (flags combine several words); empty when there is none.
std::string ServiceNameOfFlags(std::string_view flags);

// Splits text into lines at LF (a CR before it is dropped).
std::vector<std::string_view> SplitLines(std::string_view text);

// Splits at every "|".
std::vector<std::string_view> SplitFields(std::string_view line);

}  // namespace nv::updater
