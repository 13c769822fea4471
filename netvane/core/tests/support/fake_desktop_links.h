// An in-memory desktop for the shortcut rules: links by path with their targets, each call
// recorded, and a switch that makes the next listing fail.
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
  std::vector<std::string> calls;
  bool listFails = false;
  int redraws = 0;

  std::string Folder() override { return folder; }
  bool ListLinks(const std::string& dir, std::vector<std::string>& out) override {
    calls.push_back("list " + dir);
    if (listFails) return false;
    for (const auto& [path, target] : links) out.push_back(path);
    return true;
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
    if (links.count(to) != 0) return false;  // no overwriting, as MoveFile
    links[to] = links[link];
    links.erase(link);
    return true;
  }
  bool Create(const std::string& link, const std::string& target) override {
    calls.push_back("create " + link);
    links[link] = target;
    return true;
  }
  void RedrawScreen() override { ++redraws; }
};

}  // namespace nv::core::testing
