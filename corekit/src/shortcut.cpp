#include "corekit/shortcut.h"

#include "corekit/debug.h"
#include "corekit/message_box.h"
#include "corekit/os_version.h"
#include "corekit/registry.h"
#include "corekit/win32_error_codes.h"
#include "file_access.h"
#include "platform/text.h"
#include "shell_link_platform.h"

namespace {

constexpr size_t kPifCloseByte = 99;
constexpr char kPifCloseOnExit = 0x10;

std::string ReadDesktopFolder() {
  try {
    const COSversion os;
    const DesktopFolderSource source = DesktopFolderSourceFor(os.m_name);
    CRegistry registry;
    if (!registry.Connect(source.usersRoot ? corekit::kHKeyUsers : corekit::kHKeyLocalMachine)) return {};
    if (!registry.Open(source.key.c_str(), CRegistry::permissionRead)) return {};
    std::string folder;
    if (!registry.GetStringValue(source.value.c_str(), folder)) return {};
    return folder;
  } catch (...) {
    return {};
  }
}

std::string WithoutExtension(const std::string& program) {
  const size_t slash = program.find_last_of("\\/");
  const size_t dot = program.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return program;
  return program.substr(0, dot);
}

// A device name opens the device, not a file, with any extension ("CON.txt" is CON too).
bool IsDeviceName(const std::string& name) {
  const std::string upper = nv::text::ToUpperAscii(name.substr(0, name.find('.')));
  for (const char* device : {"CON", "PRN", "AUX", "NUL"})
    if (upper == device) return true;
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

std::string FileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

DesktopFolderSource DesktopFolderSourceFor(std::string_view versionName) {
  if (versionName == "WIN95")
    return {true, ".DEFAULT\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
            "Desktop"};
  return {false, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Common Desktop"};
}

std::string LinkNameFromText(std::string_view name) {
  std::string fit;
  for (char c : name) {
    const bool control = static_cast<unsigned char>(c) < 0x20;
    const bool reserved = std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
    fit += control || reserved ? '_' : c;
  }
  // Windows drops trailing dots and blanks from file names, so two names would collide.
  while (!fit.empty() && (fit.back() == '.' || fit.back() == ' ')) fit.pop_back();
  if (!fit.empty() && IsDeviceName(fit)) fit.insert(0, "_");
  return fit;
}

std::string LinkFilePath(std::string_view folder, std::string_view name, std::string_view extension) {
  const std::string fit = LinkNameFromText(name);
  if (fit.empty()) return {};
  return std::string(folder) + "\\" + fit + std::string(extension);
}

bool ReadShortCutTarget(const std::string& file, std::string& target) noexcept {
  return corekit::detail::ReadLinkTarget(file, target);
}

bool IsShellLink(const std::string& file) noexcept {
  try {
    std::string target;
    return corekit::detail::ReadLinkTarget(file, target);
  } catch (...) {
    return false;
  }
}

CShortCut::CShortCut() noexcept : m_desktop(ReadDesktopFolder()) {}

CShortCut::CShortCut(std::string desktopFolder) noexcept : m_desktop(std::move(desktopFolder)) {}

long CShortCut::MakeShortCut(const std::string& target, const std::string& name) noexcept {
  return MakeShortCut(target, name, ".LNK", m_desktop);
}

long CShortCut::MakeShortCut(const std::string& target, const std::string& name, const std::string& extension,
                             const std::string& folder) noexcept {
  try {
    const std::string linkFile = LinkFilePath(folder, name, extension);
    if (folder.empty() || linkFile.empty()) return corekit::win32_error::kInvalidParameter;
    return CreateShortCut(target, "", linkFile);
  } catch (...) {
    return corekit::win32_error::kNotEnoughMemory;
  }
}

long CShortCut::CreateShortCut(const std::string& target, const std::string&,
                               const std::string& linkFile) noexcept {
  bool pathFailed = false;
  const long result = corekit::detail::CreateLinkFile(target, kDescription, linkFile, pathFailed);
  if (pathFailed) corekit::ShowMessageBox(nullptr, "Netvane", "SetPath failed!", corekit::kMbOk);
  return result;
}

int CShortCut::RenDelShortCut(const std::string& linkFile, const std::string& expectedTarget,
                              const std::string& newName) noexcept {
  try {
    std::string target;
    if (!corekit::detail::ReadLinkTarget(linkFile, target)) return 0;
    if (!nv::text::EqualsNoCase(target, expectedTarget)) return 0;
    if (newName.empty()) return corekit::detail::RemoveFile(linkFile) ? 1 : 0;
    return corekit::detail::RenameFile(linkFile, newName) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

int CShortCut::GetIconPath(std::string& folder) const noexcept {
  try {
    folder = m_desktop;
  } catch (...) {
  }
  return 1;
}

long CShortCut::MakePIF(const std::string& program) noexcept { return MakePIF("", program, m_desktop); }

long CShortCut::MakePIF(const std::string& folder, const std::string& program) noexcept {
  return MakePIF(folder, program, m_desktop);
}

long CShortCut::MakePIF(const std::string& folder, const std::string& program,
                        const std::string& linkFolder) noexcept {
  try {
    const std::string target = folder.empty() ? program : folder + "\\" + program;
    const std::string name = WithoutExtension(FileNamePart(program));
    const long result = MakeShortCut(target, name, ".PIF", linkFolder);
    if (result == 0) PIFcloseONexit(LinkFilePath(linkFolder, name, ".PIF"));
    return result;
  } catch (...) {
    return corekit::win32_error::kNotEnoughMemory;
  }
}

int CShortCut::PIFcloseONexit(const std::string& file) noexcept {
  try {
    std::string bytes;
    const std::string path = corekit::detail::NativeFilePath(file);
    if (nv::corekit::ReadWholeFile(path, bytes) != nv::corekit::ReadStatus::kOk) return 0;
    // Only the fixed 370-byte header is the program's settings; a shorter file is no PIF.
    if (bytes.size() <= kPifCloseByte) return 0;
    if ((bytes[kPifCloseByte] & kPifCloseOnExit) != 0) return 1;
    bytes[kPifCloseByte] = static_cast<char>(bytes[kPifCloseByte] | kPifCloseOnExit);
    return nv::corekit::ReplaceFileContents(path, bytes) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
