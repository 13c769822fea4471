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
  // The program a link starts; false when the link cannot be read (no link, or a link to no
  // file, such as one to a shell folder).
  virtual bool ReadTarget(const std::string& link, std::string& target) = 0;
  // True when any file (a link or not) is at `path`, compared without case as Windows does.
  virtual bool Exists(const std::string& path) = 0;
  // Only when `link` starts `target` (compared without case): renames it to `newPath`, or deletes
  // it when `newPath` is empty; true when that was done.  A link is never renamed over a file.
  virtual bool RenDelShortCut(const std::string& link, const std::string& target,
                              const std::string& newPath) = 0;
  // Makes a new link; refuses (false) when any file is at `link` already: it is never replaced.
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
// The names tried when another file holds the wanted one: "<name> (Netvane).LNK", then
// "<name> (Netvane 2).LNK" up to 9, which no other program is likely to use.
std::vector<std::string> SpareLinkPaths(const std::string& folder, const std::string& networkName);

enum class ShortcutChange { AlreadyThere, Renamed, Created, Failed };

// A link is ours only when it starts the change helper of this installation.  Leaves exactly
// one link of ours, named after `networkName`: at the wanted name when that is free or ours,
// else at the first spare name that is.  Ours is kept, renamed or made; every other link of
// ours goes.  A file that is not ours is never overwritten, renamed or deleted; the trace says
// when one is passed over and why.
ShortcutChange ChangeShortcut(IDesktopLinks& links, const std::string& installedPath,
                              const std::string& networkName);
// Deletes every link of ours, leaves the others; redraws the screen when one went.  Returns how
// many were deleted.
int DeleteShortcuts(IDesktopLinks& links, const std::string& installedPath);

}  // namespace nv::core
