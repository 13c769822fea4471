// An in-memory desktop for the shortcut rules: links by path with their targets, other files
// (plain files, links to no file) by path with their bytes, each call recorded, and a switch
// that makes the next listing fail.  It refuses as Windows does: a rename or a new link never
// lands on an existing file of any kind, and names compare without case.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "netvane/desktop_links.h"
#include "platform/text.h"

namespace nv::core::testing {

class FakeDesktopLinks : public IDesktopLinks {
 public:
  std::string folder = "C:\\Users\\Public\\Desktop";
  std::map<std::string, std::string> links;  // path -> target
  std::map<std::string, std::string> files;  // path -> bytes: files that are no link to a file
  std::map<std::string, std::string>
      foreignLinks;  // links to no file path (a shell folder): listed, unreadable
  std::vector<std::string> calls;
  bool listFails = false;
  int redraws = 0;

  std::string Folder() override { return folder; }
  bool ListLinks(const std::string& dir, std::vector<std::string>& out) override {
    calls.push_back("list " + dir);
    if (listFails) return false;
    for (const auto& [path, target] : links) out.push_back(path);
    for (const auto& [path, bytes] : foreignLinks) out.push_back(path);
    return true;
  }
  bool Exists(const std::string& path) override {
    for (const auto* set : {&links, &files, &foreignLinks})
      for (const auto& [p, v] : *set)
        if (nv::text::EqualsNoCase(p, path)) return true;
    return false;
  }
  bool ReadTarget(const std::string& link, std::string& target) override {
    const auto it = links.find(link);
    if (it == links.end()) return false;
    target = it->second;
    return true;
  }
  // As CShortCut::RenDelShortCut: only a link that starts `target` (without case) is touched.
  bool RenDelShortCut(const std::string& link, const std::string& target, const std::string& to) override {
    std::string linkTarget;
    if (!ReadTarget(link, linkTarget) || !nv::text::EqualsNoCase(linkTarget, target)) return false;
    if (to.empty()) {
      calls.push_back("remove " + link);
      return links.erase(link) != 0;
    }
    calls.push_back("rename " + link + " -> " + to);
    if (Exists(to) && !nv::text::EqualsNoCase(to, link)) return false;  // no overwriting, as MoveFile
    links[to] = links[link];
    links.erase(link);
    return true;
  }
  bool Create(const std::string& link, const std::string& target) override {
    calls.push_back("create " + link);
    if (Exists(link)) return false;  // the name is taken with CREATE_NEW first
    links[link] = target;
    return true;
  }
  void RedrawScreen() override { ++redraws; }
};

}  // namespace nv::core::testing
