#include "corekit/folder_tree.h"

#include <algorithm>

#include "platform/text.h"

namespace corekit {

FolderSource::~FolderSource() = default;

std::string JoinFolder(std::string_view parent, std::string_view name) {
  std::string path(parent);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + std::string(name);
}

FolderTree::FolderTree(FolderSource& source) : m_source(source) {}

size_t FolderTree::Add(FolderNode node) {
  m_nodes.push_back(std::move(node));
  return m_nodes.size() - 1;
}

std::vector<size_t> FolderTree::Roots() {
  m_nodes.clear();
  std::vector<size_t> roots;
  const uint32_t drives = m_source.LogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if ((drives & (1u << letter)) == 0) continue;
    FolderNode drive;
    drive.kind = FolderKind::kDrive;
    drive.text = std::string(1, static_cast<char>('A' + letter)) + ":";
    drive.path = drive.text + "\\";
    roots.push_back(Add(std::move(drive)));
  }
  FolderNode network;
  network.kind = FolderKind::kNetworkRoot;
  network.text = kNetworkRootText;
  roots.push_back(Add(std::move(network)));
  return roots;
}

const std::vector<size_t>& FolderTree::Expand(size_t index) {
  if (m_nodes.at(index).listed) return m_nodes[index].children;
  const FolderNode node = m_nodes[index];  // a copy: adding children moves the nodes
  std::vector<size_t> children;
  if (node.kind == FolderKind::kNetworkRoot || node.kind == FolderKind::kNetworkContainer) {
    const NetworkResource* parent = node.kind == FolderKind::kNetworkRoot ? nullptr : &node.resource;
    for (const NetworkResource& resource : m_source.Network(parent)) {
      if (!resource.container && !resource.disk) continue;
      FolderNode child;
      child.kind = resource.disk ? FolderKind::kNetworkShare : FolderKind::kNetworkContainer;
      child.text = resource.remoteName.empty() ? resource.provider : resource.remoteName;
      if (resource.disk) child.path = resource.remoteName;
      child.resource = resource;
      children.push_back(Add(std::move(child)));
    }
  } else if (!node.path.empty()) {
    std::vector<std::string> names = m_source.Subfolders(node.path);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return nv::text::ToLowerAscii(a) < nv::text::ToLowerAscii(b);
    });
    for (const std::string& name : names) {
      if (name.empty() || name == "." || name == "..") continue;
      FolderNode child;
      child.kind = FolderKind::kFolder;
      child.text = name;
      child.path = JoinFolder(node.path, name);
      children.push_back(Add(std::move(child)));
    }
  }
  m_nodes[index].listed = true;
  m_nodes[index].children = std::move(children);
  return m_nodes[index].children;
}

}  // namespace corekit
