// The folder picker's tree without windows: drives, their subfolders and the network places,
// each listed once when first expanded, with the path an item stands for.  CDlgGetPath shows it;
// tests drive it with a fake FolderSource.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corekit/export.h"

namespace corekit {

struct NetworkResource {
  std::string remoteName;  // "\\server\share", "\\server", a domain or provider name
  std::string provider;
  bool container = false;  // holds further resources
  bool disk = false;       // a shared folder
};

// What the platform lists; each call may fail and then lists nothing.
class COREKIT_API FolderSource {
 public:
  virtual ~FolderSource();
  virtual uint32_t LogicalDrives() = 0;                                      // bit 0 = A:, bit 1 = B:, ...
  virtual std::vector<std::string> Subfolders(const std::string& path) = 0;  // names, unsorted
  // The resources below `parent`, or the whole network for null.
  virtual std::vector<NetworkResource> Network(const NetworkResource* parent) = 0;
};

enum class FolderKind { kDrive, kFolder, kNetworkRoot, kNetworkContainer, kNetworkShare };

struct FolderNode {
  FolderKind kind = FolderKind::kFolder;
  std::string text;  // shown in the tree
  std::string path;  // what choosing it gives; empty when it is no folder
  NetworkResource resource;
  bool listed = false;
  std::vector<size_t> children;
};

// "C:\" + "Data" -> "C:\Data"; "C:\Data" + "Logs" -> "C:\Data\Logs".
COREKIT_API std::string JoinFolder(std::string_view parent, std::string_view name);

class COREKIT_API FolderTree {
 public:
  static constexpr const char* kNetworkRootText = "Network Neighborhood";

  explicit FolderTree(FolderSource& source);

  // One item per drive letter, then the network root.
  std::vector<size_t> Roots();
  // The children of `node`, listed from the source the first time (folders sorted by name
  // without case; network resources in the order given, printers and other kinds left out).
  const std::vector<size_t>& Expand(size_t node);
  const FolderNode& Node(size_t node) const { return m_nodes.at(node); }

 private:
  size_t Add(FolderNode node);

  FolderSource& m_source;
  std::vector<FolderNode> m_nodes;
};

}  // namespace corekit
