#include <algorithm>

#include "corekit/debug.h"
#include "corekit/shortcut.h"
#include "netvane/desktop_links.h"
#include "platform/text.h"

namespace nv::core {
namespace {

constexpr int kSpareNames = 9;

bool Contains(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(),
                     [&](const std::string& p) { return nv::text::EqualsNoCase(p, path); });
}

// The links of the folder that start `target`.
std::vector<std::string> OurLinks(IDesktopLinks& links, const std::string& folder,
                                  const std::string& target) {
  std::vector<std::string> found, ours;
  if (!links.ListLinks(folder, found)) return ours;
  for (const std::string& link : found) {
    std::string to;
    if (links.ReadTarget(link, to) && nv::text::EqualsNoCase(to, target)) ours.push_back(link);
  }
  return ours;
}

}  // namespace

std::string ShortcutTarget(const std::string& installedPath) {
  return installedPath + "\\" + kChangeHelperProgram;
}

std::string WantedLinkPath(const std::string& folder, const std::string& networkName) {
  if (folder.empty()) return {};
  return LinkFilePath(folder, networkName, ".LNK");
}

std::vector<std::string> SpareLinkPaths(const std::string& folder, const std::string& networkName) {
  std::vector<std::string> spare;
  if (folder.empty() || LinkNameFromText(networkName).empty()) return spare;
  const std::string name = LinkNameFromText(networkName);
  for (int i = 1; i <= kSpareNames; ++i) {
    const std::string suffix = i == 1 ? " (Netvane)" : " (Netvane " + std::to_string(i) + ")";
    spare.push_back(LinkFilePath(folder, name + suffix, ".LNK"));
  }
  return spare;
}

ShortcutChange ChangeShortcut(IDesktopLinks& links, const std::string& installedPath,
                              const std::string& networkName) {
  const std::string folder = links.Folder();
  const std::string wanted = WantedLinkPath(folder, networkName);
  CDebug::dprintf("ChangeSC(%s)(%s)\n", folder.c_str(), networkName.c_str());
  if (wanted.empty()) return ShortcutChange::Failed;
  const std::string target = ShortcutTarget(installedPath);
  const std::vector<std::string> ours = OurLinks(links, folder, target);

  // The name to use: the first that is ours already or free.
  std::string chosen;
  std::vector<std::string> names{wanted};
  for (std::string& spare : SpareLinkPaths(folder, networkName)) names.push_back(std::move(spare));
  for (const std::string& name : names) {
    if (Contains(ours, name) || !links.Exists(name)) {
      chosen = name;
      break;
    }
    CDebug::dprintf("ChangeSC: %s is not ours (it does not start %s): left as it is\n", name.c_str(),
                    target.c_str());
  }
  if (chosen.empty()) {
    CDebug::dprintf("ChangeSC: every name for %s is taken by other files\n", networkName.c_str());
    return ShortcutChange::Failed;
  }

  ShortcutChange result = ShortcutChange::Failed;
  std::string kept;
  for (const std::string& link : ours)
    if (nv::text::EqualsNoCase(link, chosen)) kept = link;
  if (!kept.empty()) {
    result = ShortcutChange::AlreadyThere;
  } else {
    for (const std::string& link : ours) {
      CDebug::dprintf("RenDelShortCut(%s)\n", link.c_str());
      if (links.RenDelShortCut(link, target, chosen)) {
        kept = link;
        result = ShortcutChange::Renamed;
        break;
      }
    }
    if (kept.empty()) {
      CDebug::dprintf("Fail RenDelShortCur\n");
      result = links.Create(chosen, target) ? ShortcutChange::Created : ShortcutChange::Failed;
    }
  }
  // Any other link of ours (an older run's, or one the user copied) would name another network.
  for (const std::string& link : ours) {
    if (link == kept) continue;
    if (links.RenDelShortCut(link, target, std::string())) CDebug::dprintf("Delete ShortCut Success\n");
  }
  return result;
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
