#include "corekit/debug.h"
#include "netvane/desktop_links.h"
#include "platform/text.h"

namespace nv::core {
namespace {

bool IsDeviceName(const std::string& upper) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* d : kDevices)
    if (upper == d) return true;
  // COM1-COM9, LPT1-LPT9
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

std::string ShortcutTarget(const std::string& installedPath) {
  return installedPath + "\\" + kChangeHelperProgram;
}

std::string LinkFileName(const std::string& networkName) {
  std::string name;
  name.reserve(networkName.size());
  for (char c : networkName) {
    const auto u = static_cast<unsigned char>(c);
    const bool bad = u < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
                     c == '<' || c == '>' || c == '|';
    name.push_back(bad ? '_' : c);
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (name.empty()) return name;
  // "CON.txt" is the device as much as "CON" is.
  const std::string upper = nv::text::ToUpperAscii(name.substr(0, name.find('.')));
  if (IsDeviceName(upper)) name.insert(0, "_");
  return name;
}

std::string WantedLinkPath(const std::string& folder, const std::string& networkName) {
  const std::string file = LinkFileName(networkName);
  if (folder.empty() || file.empty()) return {};
  return folder + "\\" + file + ".LNK";
}

bool RenDelShortCut(IDesktopLinks& links, const std::string& link, const std::string& target,
                    const std::string& newPath) {
  std::string linkTarget;
  if (!links.ReadTarget(link, linkTarget) || !nv::text::EqualsNoCase(linkTarget, target)) return false;
  return newPath.empty() ? links.Remove(link) : links.Rename(link, newPath);
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
      renamed = RenDelShortCut(links, link, target, wanted);
    } else if (RenDelShortCut(links, link, target, std::string())) {
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
    if (RenDelShortCut(links, link, target, std::string())) {
      CDebug::dprintf("Delete ShortCut Success\n");
      ++deleted;
    }
  }
  if (deleted > 0) links.RedrawScreen();
  return deleted;
}

}  // namespace nv::core
