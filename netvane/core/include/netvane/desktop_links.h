// The network-named desktop shortcut: one link on the all-users desktop, named after the
// network in force, that starts "LDNvChng.EXE" of the installation.  The rules (which link is
// ours, what it is called, rename or create, delete when the option goes off) are portable and
// work over IDesktopLinks; the Win32 implementation is Corekit's CShortCut, tests use a fake.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace nv::core {

class IDesktopLinks {
 public:
  virtual ~IDesktopLinks() = default;
  // The all-users desktop folder; empty when unknown.
  virtual std::string Folder() = 0;
  // Full paths of the shell links in `folder`; false when it cannot be listed.
  virtual bool ListLinks(const std::string& folder, std::vector<std::string>& links) = 0;
  // The program a link starts; false when the link cannot be read.
  virtual bool ReadTarget(const std::string& link, std::string& target) = 0;
  // Only when `link` starts `target` (compared without case): renames it to `newPath`, or deletes
  // it when `newPath` is empty; true when that was done.  A link is never renamed over a file.
  virtual bool RenDelShortCut(const std::string& link, const std::string& target,
                              const std::string& newPath) = 0;
  virtual bool Create(const std::string& link, const std::string& target) = 0;
  // Makes the desktop show a removed link at once.
  virtual void RedrawScreen() = 0;
};

// Shell links and the desktop folder on Windows; null natively.
std::unique_ptr<IDesktopLinks> MakeDesktopLinks();

inline constexpr const char* kChangeHelperProgram = "LDNvChng.EXE";

// "%s\LDNvChng.EXE" of the installation folder.
std::string ShortcutTarget(const std::string& installedPath);
// "%s\%s.LNK" of the folder and the network name made a file name by Corekit's LinkNameFromText
// (never outside the folder, never a device); empty when the name gives no file name.
std::string WantedLinkPath(const std::string& folder, const std::string& networkName);

enum class ShortcutChange { AlreadyThere, Renamed, Created, Failed };

// Leaves one link of ours, named after `networkName`: the right one is kept as it is, else a
// link of ours is renamed, else one is made.
ShortcutChange ChangeShortcut(IDesktopLinks& links, const std::string& installedPath,
                              const std::string& networkName);
// Deletes every link of ours, leaves the others; redraws the screen when one went.  Returns how
// many were deleted.
int DeleteShortcuts(IDesktopLinks& links, const std::string& installedPath);

}  // namespace nv::core
