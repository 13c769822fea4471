// CShortCut: desktop shortcuts (shell links) and program-information files.
//
// The desktop folder is found at construction: on the Windows 95 family the "Desktop" folder of
// the ".DEFAULT" user, otherwise the all-users desktop ("Common Desktop"), both from the
// registry's "Shell Folders" keys; empty when it cannot be read.
//
// On Windows a link is a shell link (IShellLink saved through IPersistFile).  Natively it is a
// desktop-entry text file ("[Desktop Entry]", "Exec=<target>") under the same name, so the rules
// for naming, renaming and deleting links work and are tested the same way.
#pragma once
#include <string>
#include <string_view>

#include "corekit/export.h"

// Where the desktop folder is read from for a version class name ("WIN95", "WINNT", ...).
struct DesktopFolderSource {
  bool usersRoot = false;  // below the users root (else below the local-machine root)
  std::string key;
  std::string value;
};
COREKIT_API DesktopFolderSource DesktopFolderSourceFor(std::string_view versionName);

// `name` made fit to be a file name: characters a file name cannot hold (\ / : * ? " < > | and
// control characters) become "_", trailing dots and blanks are dropped, and a device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension) gets a leading "_" so the link
// never lands on a device.  Empty stays empty.
COREKIT_API std::string LinkNameFromText(std::string_view name);

// "<folder>\<name><extension>" with the name made fit by LinkNameFromText; empty when the name
// has nothing left.
COREKIT_API std::string LinkFilePath(std::string_view folder, std::string_view name,
                                     std::string_view extension);

// True when `file` is a link this platform's links are made of (a shell link on Windows), so
// that callers going through a desktop folder can pass over every other file.
COREKIT_API bool IsShellLink(const std::string& file) noexcept;
// The program a link starts; false when `file` is no link or cannot be read.
COREKIT_API bool ReadShortCutTarget(const std::string& file, std::string& target) noexcept;

class COREKIT_API CShortCut {
 public:
  CShortCut() noexcept;
  // With a known desktop folder (tests, callers that found it otherwise).
  explicit CShortCut(std::string desktopFolder) noexcept;

  long MakeShortCut(const std::string& target, const std::string& name) noexcept;
  long MakeShortCut(const std::string& target, const std::string& name, const std::string& extension,
                    const std::string& folder) noexcept;
  // The platform result code, 0 on success.  `arguments` are not used.
  long CreateShortCut(const std::string& target, const std::string& arguments,
                      const std::string& linkFile) noexcept;
  // Only when the link's target equals `expectedTarget` (without case): renames the link file to
  // `newName` (a full path), or deletes it when `newName` is empty; true when that was done.
  int RenDelShortCut(const std::string& linkFile, const std::string& expectedTarget,
                     const std::string& newName) noexcept;
  int GetIconPath(std::string& folder) const noexcept;

  // A ".PIF" shortcut named after the program without its extension, in the desktop folder (or
  // `linkFolder`), with the close-on-exit flag set.  `folder` is the program's folder.
  long MakePIF(const std::string& program) noexcept;
  long MakePIF(const std::string& folder, const std::string& program) noexcept;
  long MakePIF(const std::string& folder, const std::string& program, const std::string& linkFolder) noexcept;
  // Sets bit 0x10 of byte 99 (close the window on exit) in a program-information file; 0 when the
  // file cannot be read or is too short to hold that byte (it is then left as it was).
  static int PIFcloseONexit(const std::string& file) noexcept;

  static constexpr const char* kDescription = "Netvane OneClick Short-Cut";

 private:
  std::string m_desktop;
};
