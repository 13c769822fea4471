// Whole-file reads and replacing writes (win32/ and posix/ implement them).
#pragma once
#include <string>
#include <string_view>

namespace nv::corekit {

enum class ReadStatus {
  kOk,
  kMissing,     // the file's status cannot be obtained
  kUnreadable,  // it exists but is no regular file or cannot be opened or read
};

// Reads the whole file named by the UTF-8 `path` into `bytes`.
ReadStatus ReadWholeFile(const std::string& path, std::string& bytes) noexcept;

// Writes `bytes` to a new temporary file beside `path`, flushes it and moves it over `path` in one
// step.  On failure the temporary is removed and `path` is left as it was.
bool ReplaceFileContents(const std::string& path, std::string_view bytes) noexcept;

// Text of a file that is not UTF-8, converted to UTF-8: the ANSI code page on Windows; the bytes
// unchanged elsewhere.
std::string LegacyTextToUtf8(std::string_view bytes);

}  // namespace nv::corekit
