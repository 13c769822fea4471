// An in-memory desktop for the shortcut rules: links by path with their targets, each call
// recorded, and a switch that makes the next listing fail.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "netvane/desktop_links.h"

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
  bool Rename(const std::string& from, const std::string& to) override {
    calls.push_back("rename " + from + " -> " + to);
    if (links.count(to) != 0 || links.count(from) == 0) return false;  // no overwriting, as MoveFile
    links[to] = links[from];
    links.erase(from);
    return true;
  }
  bool Remove(const std::string& link) override {
    calls.push_back("remove " + link);
    return links.erase(link) != 0;
  }
  bool Create(const std::string& link, const std::string& target) override {
    calls.push_back("create " + link);
    links[link] = target;
    return true;
  }
  void RedrawScreen() override { ++redraws; }
};

}  // namespace nv::core::testing
