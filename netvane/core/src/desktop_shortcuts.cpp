#include "corekit/debug.h"
#include "corekit/shortcut.h"
#include "netvane/desktop_links.h"
#include "platform/text.h"

namespace nv::core {

std::string ShortcutTarget(const std::string& installedPath) {
  return installedPath + "\\" + kChangeHelperProgram;
}

std::string WantedLinkPath(const std::string& folder, const std::string& networkName) {
  if (folder.empty()) return {};
  return LinkFilePath(folder, networkName, ".LNK");
}

ShortcutChange ChangeShortcut(IDesktopLinks& links, const std::string& installedPath,
                              const std::string& networkName) {
  const std::string folder = links.Folder();
  const std::string wanted = WantedLinkPath(folder, networkName);
  CDebug::dprintf("ChangeSC(%s)(%s)\n", folder.c_str(), networkName.c_str());
  if (wanted.empty()) return ShortcutChange::Failed;
  const std::string target = ShortcutTarget(installedPath);

  std::vector<std::string> found;
  if (links.ListLinks(folder, found)) {
    for (const std::string& link : found)
      if (nv::text::EqualsNoCase(link, wanted)) return ShortcutChange::AlreadyThere;
  }
  bool renamed = false;
  for (const std::string& link : found) {
    if (!renamed) {
      CDebug::dprintf("RenDelShortCut(%s)\n", link.c_str());
      renamed = links.RenDelShortCut(link, target, wanted);
    } else if (links.RenDelShortCut(link, target, std::string())) {
      // A second link of ours (left by an older run) would tell the wrong network.
      CDebug::dprintf("Delete ShortCut Success\n");
    }
  }
  if (renamed) return ShortcutChange::Renamed;
  CDebug::dprintf("Fail RenDelShortCur\n");
  return links.Create(wanted, target) ? ShortcutChange::Created : ShortcutChange::Failed;
}

int DeleteShortcuts(IDesktopLinks& links, const std::string& installedPath) {
  const std::string folder = links.Folder();
  const std::string target = ShortcutTarget(installedPath);
  std::vector<std::string> found;
  if (folder.empty() || !links.ListLinks(folder, found)) return 0;
  int deleted = 0;
  for (const std::string& link : found) {
    if (links.RenDelShortCut(link, target, std::string())) {
      CDebug::dprintf("Delete ShortCut Success\n");
      ++deleted;
    }
  }
  if (deleted > 0) links.RedrawScreen();
  return deleted;
}

}  // namespace nv::core
