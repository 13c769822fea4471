// File operations of the log writer, per platform.
#pragma once
#include <string>
#include <string_view>

namespace nv::core::logio {

char PathSeparator() noexcept;
void CreateFolder(const std::string& path) noexcept;  // one level; failures ignored
void DeleteFileQuietly(const std::string& path) noexcept;
// Opens the file exclusively (creating it, never truncating), appends `bytes` at its end and
// closes it.  While another writer holds the file the open is retried for up to `retryMs`.
// `flush`: on the disk before it returns (a record that must outlive a crash).
bool AppendExclusive(const std::string& path, std::string_view bytes, int retryMs,
                     bool flush = false) noexcept;
// Replaces the file's content whole (written beside it, flushed, renamed over it): a reader
// sees the old content or the new, never a part.
bool ReplaceFlushed(const std::string& path, std::string_view bytes) noexcept;
// The file's content, or its last 64 KiB when it is longer (the newest lines of a log); false
// when it cannot be read (absent, say).
bool ReadSmallFile(const std::string& path, std::string& out) noexcept;
bool FileExists(const std::string& path) noexcept;

}  // namespace nv::core::logio
