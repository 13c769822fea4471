#include <gtest/gtest.h>

#include <map>

#include "corekit/folder_picker.h"
#include "corekit/folder_tree.h"

namespace {

struct FakeSource : corekit::FolderSource {
  uint32_t drives = 0;
  std::map<std::string, std::vector<std::string>> folders;
  std::map<std::string, std::vector<corekit::NetworkResource>> network;  // "" = the whole network
  int calls = 0;

  uint32_t LogicalDrives() override { return drives; }
  std::vector<std::string> Subfolders(const std::string& path) override {
    ++calls;
    return folders[path];
  }
  std::vector<corekit::NetworkResource> Network(const corekit::NetworkResource* parent) override {
    ++calls;
    return network[parent == nullptr ? "" : parent->remoteName];
  }
};

std::vector<std::string> Texts(const corekit::FolderTree& tree, const std::vector<size_t>& nodes) {
  std::vector<std::string> texts;
  for (size_t n : nodes) texts.push_back(tree.Node(n).text + "=" + tree.Node(n).path);
  return texts;
}

TEST(FolderTree, DrivesFoldersAndNetworkPlaces) {
  FakeSource source;
  source.drives = (1u << 0) | (1u << 2) | (1u << 25);  // A:, C:, Z:
  source.folders["C:\\"] = {"windows", "Data", "..", ".", "apps"};
  source.folders["C:\\Data"] = {"Logs"};
  source.network[""] = {{"Microsoft Windows Network", "Microsoft Windows Network", true, false}};
  source.network["Microsoft Windows Network"] = {
      {"\\\\srv", "Microsoft Windows Network", true, false},
      {"\\\\srv\\print", "Microsoft Windows Network", false, false},  // a printer: left out
      {"\\\\srv\\share", "Microsoft Windows Network", false, true},
  };
  source.folders["\\\\srv\\share"] = {"team"};

  corekit::FolderTree tree(source);
  const std::vector<size_t> roots = tree.Roots();
  EXPECT_EQ(Texts(tree, roots),
            (std::vector<std::string>{"A:=A:\\", "C:=C:\\", "Z:=Z:\\", "Network Neighborhood="}));

  const size_t c = roots[1];
  EXPECT_EQ(Texts(tree, tree.Expand(c)),
            (std::vector<std::string>{"apps=C:\\apps", "Data=C:\\Data", "windows=C:\\windows"}));
  const size_t data = tree.Node(c).children[1];
  EXPECT_EQ(Texts(tree, tree.Expand(data)), (std::vector<std::string>{"Logs=C:\\Data\\Logs"}));
  const int callsBefore = source.calls;
  tree.Expand(c);  // listed once only
  EXPECT_EQ(source.calls, callsBefore);
  EXPECT_TRUE(tree.Expand(roots[0]).empty());  // nothing in A:

  const size_t net = roots.back();
  EXPECT_EQ(tree.Node(net).kind, corekit::FolderKind::kNetworkRoot);
  const std::vector<size_t> providers = tree.Expand(net);
  ASSERT_EQ(providers.size(), 1u);
  EXPECT_EQ(tree.Node(providers[0]).kind, corekit::FolderKind::kNetworkContainer);
  const std::vector<size_t> below = tree.Expand(providers[0]);
  EXPECT_EQ(Texts(tree, below), (std::vector<std::string>{"\\\\srv=", "\\\\srv\\share=\\\\srv\\share"}));
  EXPECT_EQ(tree.Node(below[1]).kind, corekit::FolderKind::kNetworkShare);
  EXPECT_EQ(Texts(tree, tree.Expand(below[1])), (std::vector<std::string>{"team=\\\\srv\\share\\team"}));

  EXPECT_EQ(corekit::JoinFolder("C:\\", "x"), "C:\\x");
  EXPECT_EQ(corekit::JoinFolder("C:\\x", "y"), "C:\\x\\y");
}

}  // namespace
