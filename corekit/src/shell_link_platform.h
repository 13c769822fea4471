// The platform half of CShortCut: link files and the file operations on them.
#pragma once
#include <string>

namespace corekit::detail {

// Result code of creating a link: 0 on success, else the platform's code (an HRESULT on Windows).
// `pathFailed` is set when the target could not be stored in the link (the link is saved anyway).
long CreateLinkFile(const std::string& target, const std::string& description, const std::string& linkFile,
                    bool& pathFailed) noexcept;
bool ReadLinkTarget(const std::string& linkFile, std::string& target) noexcept;
bool RenameFile(const std::string& from, const std::string& to) noexcept;
bool RemoveFile(const std::string& file) noexcept;
// A path as the portable code writes it (folders joined by "\") in the platform's own form.
std::string NativeFilePath(const std::string& path);

}  // namespace corekit::detail
