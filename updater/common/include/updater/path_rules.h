// Path rules for files named by an update server's list or by the hand-over list: where a staged
// file may be written and which target paths the finisher may replace.  Plain functions over
// text, so both path styles are tested on every platform.
#pragma once
#include <string>
#include <string_view>

namespace nv::updater {

enum class PathStyle { kWindows, kPosix };

// The style of the running system.
PathStyle NativePathStyle() noexcept;

char Separator(PathStyle style) noexcept;

// `dir` + separator + `name` (no doubled separator when `dir` already ends in one).
std::string JoinPath(std::string_view dir, std::string_view name, PathStyle style);

// The path up to its last separator (either kind on Windows), a root with its separator ("/",
// "C:\"); empty when it has none.
std::string ParentDirectory(std::string_view path, PathStyle style);

// A name that stays inside the folder it is joined to: not empty, no "/" or "\", no ":", no
// "..", no control characters, and (because Windows opens devices by these names in any
// folder) no device name such as "NUL", "CON" or "COM1", with or without an extension.
bool IsPlainFileName(std::string_view name) noexcept;

// The name Windows would store `name` under, for comparing: ASCII letters upper-cased,
// trailing dots and blanks removed ("A.DLL", "a.dll." and "a.dll " name one file).
std::string StagedNameKey(std::string_view name);

// True when the two names can reach one file in one folder: equal keys, or one has the form of
// a generated short name ("LONGFI~1.DLL") that the other's long name could be given.
bool NamesMayAlias(std::string_view a, std::string_view b);

// An absolute path ("C:\..." or "\\server\share\..." on Windows, "/..." on POSIX) without "."
// or ".." components and without control characters; on Windows no component is a device name.
bool IsSafeAbsolutePath(std::string_view path, PathStyle style) noexcept;

// Blanks, tabs, CR and LF removed from both ends.
std::string_view Trim(std::string_view text) noexcept;

}  // namespace nv::updater
