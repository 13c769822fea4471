#include "platform/windows_api.h"
// (windows_api.h first: the shell headers need its settings.)
#include <objidl.h>
#include <shlobj.h>

#include "platform/text.h"
#include "shell_link_platform.h"

namespace corekit::detail {
namespace {

// COM for this thread while a link is made or read; a thread already in another apartment mode
// still works, and is left as it was.
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
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }
  void** put() { return reinterpret_cast<void**>(&m_p); }

 private:
  T* m_p = nullptr;
};

HRESULT NewShellLink(ComPtr<IShellLinkW>& link) {
  return ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put());
}

}  // namespace

long CreateLinkFile(const std::string& target, const std::string& description, const std::string& linkFile,
                    bool& pathFailed) noexcept {
  try {
    ComScope com;
    ComPtr<IShellLinkW> link;
    HRESULT result = NewShellLink(link);
    if (FAILED(result)) return result;
    pathFailed = FAILED(link->SetPath(nv::text::Widen(target).c_str()));
    link->SetDescription(nv::text::Widen(description).c_str());
    ComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.put());
    if (FAILED(result)) return result;
    result = file->Save(nv::text::Widen(linkFile).c_str(), TRUE);
    return SUCCEEDED(result) ? 0 : result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

bool ReadLinkTarget(const std::string& linkFile, std::string& target) noexcept {
  try {
    ComScope com;
    ComPtr<IShellLinkW> link;
    if (FAILED(NewShellLink(link))) return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put()))) return false;
    if (FAILED(file->Load(nv::text::Widen(linkFile).c_str(), STGM_READ))) return false;
    wchar_t path[MAX_PATH] = {};
    if (link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH) != S_OK) return false;
    target = nv::text::Narrow(path);
    return true;
  } catch (...) {
    return false;
  }
}

bool RenameFile(const std::string& from, const std::string& to) noexcept {
  try {
    return ::MoveFileW(nv::text::Widen(from).c_str(), nv::text::Widen(to).c_str()) != FALSE;
  } catch (...) {
    return false;
  }
}

bool RemoveFile(const std::string& file) noexcept {
  try {
    return ::DeleteFileW(nv::text::Widen(file).c_str()) != FALSE;
  } catch (...) {
    return false;
  }
}

std::string NativeFilePath(const std::string& path) { return path; }

}  // namespace corekit::detail
