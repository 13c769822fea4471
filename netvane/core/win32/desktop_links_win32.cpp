// Desktop links through Corekit's CShortCut: its desktop folder, link test, link reading,
// rename-or-delete rule and link creation.  The folder listing, the test for any file, the
// reservation of a new link's name and the redraw are here.
#include <string>
#include <vector>

#include "corekit/shortcut.h"
#include "netvane/desktop_links.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <shlobj.h>

namespace nv::core {
namespace {

class Win32DesktopLinks final : public IDesktopLinks {
 public:
  std::string Folder() override {
    // Read afresh for every change, as the shell may write the value at any time.
    std::string folder;
    CShortCut().GetIconPath(folder);
    if (!folder.empty()) return folder;
    // The value is written by the shell on first use; ask the shell itself meanwhile.
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(
            ::SHGetFolderPathW(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path)))
      return nv::text::Narrow(path);
    return {};
  }

  bool ListLinks(const std::string& folder, std::vector<std::string>& links) override {
    const std::wstring base = nv::text::Widen(folder) + L"\\";
    WIN32_FIND_DATAW found;
    HANDLE find = ::FindFirstFileW((base + L"*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
      const std::string path = nv::text::Narrow(base + found.cFileName);
      if (IsShellLink(path)) links.push_back(path);
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return true;
  }

  bool ReadTarget(const std::string& link, std::string& target) override {
    return ReadShortCutTarget(link, target);
  }

  bool Exists(const std::string& path) override {
    return ::GetFileAttributesW(nv::text::Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool RenDelShortCut(const std::string& link, const std::string& target,
                      const std::string& newPath) override {
    return m_shortcuts.RenDelShortCut(link, target, newPath) != 0;
  }

  bool Create(const std::string& link, const std::string& target) override {
    // The shell link saves over any file: the name is taken first, so nobody's file is replaced.
    const std::wstring path = nv::text::Widen(link);
    const HANDLE reserved =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reserved == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(reserved);
    if (m_shortcuts.CreateShortCut(target, "", link) == 0) return true;
    ::DeleteFileW(path.c_str());
    return false;
  }

  void RedrawScreen() override {
    ::RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

 private:
  // Links are named by full path here, so its own desktop folder is never used.
  CShortCut m_shortcuts{std::string()};
};

}  // namespace

std::unique_ptr<IDesktopLinks> MakeDesktopLinks() { return std::make_unique<Win32DesktopLinks>(); }

}  // namespace nv::core
