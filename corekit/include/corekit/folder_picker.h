// CDlgGetPath: the folder picker, a modal dialog with a tree of the drives (each with its drive
// type's icon) and "Network Neighborhood"; expanding an item lists its subfolders or network
// resources (corekit::FolderTree).  OK is enabled while a folder is selected.
//
// Natively there is no dialog: DoModal answers cancel at once.
#pragma once
#include <memory>
#include <string>

#include "corekit/export.h"
#include "corekit/folder_tree.h"

class COREKIT_API CDlgGetPath {
 public:
  static constexpr int kTreeId = 1001;
  static constexpr int kIdOk = 1;
  static constexpr int kIdCancel = 2;

  // `parent`: the owner window (HWND) or null.
  explicit CDlgGetPath(void* parent = nullptr) noexcept;
  // With a source of its own (tests).
  CDlgGetPath(void* parent, corekit::FolderSource& source) noexcept;
  ~CDlgGetPath();
  CDlgGetPath(const CDlgGetPath&) = delete;
  CDlgGetPath& operator=(const CDlgGetPath&) = delete;

  void SetTitle(const std::string& title);
  // kIdOk when a folder was chosen, else kIdCancel.
  int DoModal() noexcept;
  // The chosen folder; empty unless DoModal answered kIdOk.
  const std::string& GetPath() const noexcept { return m_path; }

  // The handlers the dialog's window procedure calls (platform code).
  struct Window;

 private:
  void* m_parent;
  corekit::FolderSource& m_source;
  std::string m_title;
  std::string m_path;
};

namespace corekit {
// This platform's drives, folders and network places.
COREKIT_API FolderSource& PlatformFolderSource();
}  // namespace corekit
