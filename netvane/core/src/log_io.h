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
bool AppendExclusive(const std::string& path, std::string_view bytes, int retryMs) noexcept;

}  // namespace nv::core::logio
