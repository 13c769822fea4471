// Desktop links through the shell: the all-users desktop folder, shell link objects read and
// written through IShellLinkW/IPersistFile, plain file calls for rename and delete.
#include <string>
#include <vector>

#include "corekit/debug.h"
#include "netvane/desktop_links.h"
#include "platform/text.h"
#include "platform/windows_api.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace nv::core {
namespace {

constexpr wchar_t kShellFolders[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kLinkDescription[] = L"Netvane OneClick Short-Cut";

// COM for the calling thread for as long as one call needs it.
class ComScope {
 public:
  ComScope() noexcept : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(m_result)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT m_result;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (m_p != nullptr) m_p->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const noexcept { return m_p; }
  T** put() noexcept { return &m_p; }
  void** putVoid() noexcept { return reinterpret_cast<void**>(&m_p); }

 private:
  T* m_p = nullptr;
};

bool IsShellLink(const std::wstring& path) {
  SHFILEINFOW info{};
  info.dwAttributes = SFGAO_LINK;
  if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ATTRIBUTES | SHGFI_ATTR_SPECIFIED) != 0)
    return (info.dwAttributes & SFGAO_LINK) != 0;
  // The shell could not tell: judge by the extension it registers links under.
  return path.size() > 4 && ::lstrcmpiW(path.c_str() + path.size() - 4, L".lnk") == 0;
}

class Win32DesktopLinks final : public IDesktopLinks {
 public:
  std::string Folder() override {
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kShellFolders, L"Common Desktop",
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, path, &size) == ERROR_SUCCESS &&
        path[0] != L'\0')
      return nv::text::Narrow(path);
    // The value is written by the shell on first use; ask the shell itself meanwhile.
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
      const std::wstring path = base + found.cFileName;
      if (IsShellLink(path)) links.push_back(nv::text::Narrow(path));
    } while (::FindNextFileW(find, &found));
    ::FindClose(find);
    return true;
  }

  bool ReadTarget(const std::string& link, std::string& target) override {
    ComScope com;
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.putVoid())) ||
        FAILED(shellLink->QueryInterface(IID_IPersistFile, file.putVoid())) ||
        FAILED(file->Load(nv::text::Widen(link).c_str(), STGM_READ)))
      return false;
    wchar_t path[MAX_PATH] = {};
    if (FAILED(shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) return false;
    target = nv::text::Narrow(path);
    return true;
  }

  bool Rename(const std::string& from, const std::string& to) override {
    return ::MoveFileW(nv::text::Widen(from).c_str(), nv::text::Widen(to).c_str()) != FALSE;
  }

  bool Remove(const std::string& link) override {
    return ::DeleteFileW(nv::text::Widen(link).c_str()) != FALSE;
  }

  bool Create(const std::string& link, const std::string& target) override {
    ComScope com;
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  shellLink.putVoid())))
      return false;
    if (FAILED(shellLink->SetPath(nv::text::Widen(target).c_str())))
      CDebug::dprintf("SetPath failed!\n");  // saved all the same, as before
    shellLink->SetDescription(kLinkDescription);
    return SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.putVoid())) &&
           SUCCEEDED(file->Save(nv::text::Widen(link).c_str(), TRUE));
  }

  void RedrawScreen() override {
    ::RedrawWindow(nullptr, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
};

}  // namespace

std::unique_ptr<IDesktopLinks> MakeDesktopLinks() { return std::make_unique<Win32DesktopLinks>(); }

}  // namespace nv::core
