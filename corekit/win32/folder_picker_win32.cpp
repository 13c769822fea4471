#include "platform/windows_api.h"
// (windows_api.h first: the shell and control headers need its settings.)
#include <commctrl.h>
#include <shellapi.h>
#include <winnetwk.h>

#include <vector>

#include "corekit/debug.h"
#include "corekit/folder_picker.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace corekit {
namespace {

struct NetworkEnumTraits {
  using pointer = HANDLE;
  static pointer invalid() noexcept { return nullptr; }
  static void close(pointer h) noexcept { ::WNetCloseEnum(h); }
};

class Win32FolderSource : public FolderSource {
 public:
  uint32_t LogicalDrives() override { return ::GetLogicalDrives(); }

  std::vector<std::string> Subfolders(const std::string& path) override {
    std::vector<std::string> names;
    // A drive without a medium must not ask the user to insert one.
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileExW(nv::text::Widen(JoinFolder(path, "*")).c_str(), FindExInfoBasic, &data,
                                     FindExSearchLimitToDirectories, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          names.push_back(nv::text::Narrow(data.cFileName));
      } while (::FindNextFileW(find, &data));
      ::FindClose(find);
    }
    ::SetErrorMode(oldMode);
    return names;
  }

  std::vector<NetworkResource> Network(const NetworkResource* parent) override {
    std::wstring remote;
    std::wstring provider;
    NETRESOURCEW start{};
    if (parent != nullptr) {
      remote = nv::text::Widen(parent->remoteName);
      provider = nv::text::Widen(parent->provider);
      start.dwScope = RESOURCE_GLOBALNET;
      start.dwUsage = RESOURCEUSAGE_CONTAINER;
      start.lpRemoteName = remote.empty() ? nullptr : remote.data();
      start.lpProvider = provider.empty() ? nullptr : provider.data();
    }
    nv::UniqueHandle<NetworkEnumTraits> enumeration;
    const DWORD opened = ::WNetOpenEnumW(RESOURCE_GLOBALNET, RESOURCETYPE_DISK, 0,
                                         parent != nullptr ? &start : nullptr, enumeration.put());
    if (opened != NO_ERROR) {
      CDebug::dprintf("CDlgGetPath: WNetOpenEnum failed (%lu)\n", opened);
      return {};
    }
    std::vector<NetworkResource> resources;
    std::vector<uint8_t> buffer(16384);
    for (;;) {
      DWORD count = static_cast<DWORD>(-1);
      DWORD size = static_cast<DWORD>(buffer.size());
      const DWORD result = ::WNetEnumResourceW(enumeration.get(), &count, buffer.data(), &size);
      if (result == ERROR_MORE_DATA && size > buffer.size()) {
        buffer.resize(size);
        continue;
      }
      if (result != NO_ERROR) break;
      const auto* items = reinterpret_cast<const NETRESOURCEW*>(buffer.data());
      for (DWORD i = 0; i < count; ++i) {
        NetworkResource resource;
        if (items[i].lpRemoteName != nullptr) resource.remoteName = nv::text::Narrow(items[i].lpRemoteName);
        if (items[i].lpProvider != nullptr) resource.provider = nv::text::Narrow(items[i].lpProvider);
        resource.container = (items[i].dwUsage & RESOURCEUSAGE_CONTAINER) != 0;
        resource.disk =
            items[i].dwType == RESOURCETYPE_DISK && items[i].dwDisplayType == RESOURCEDISPLAYTYPE_SHARE;
        resources.push_back(std::move(resource));
      }
    }
    return resources;
  }
};

// ---- the dialog template, built in memory (Corekit carries no resources) ----

class TemplateWriter {
 public:
  void Word(WORD w) { m_words.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) Word(static_cast<WORD>(*text));
    Word(0);
  }
  void AlignDword() {
    if (m_words.size() % 2 != 0) Word(0);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* className, WORD atom,
            const wchar_t* title) {
    AlignDword();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
    Word(id);
    if (className != nullptr) {
      Text(className);
    } else {
      Word(0xFFFF);
      Word(atom);
    }
    Text(title);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

 private:
  std::vector<WORD> m_words;
};

constexpr WORD kButtonAtom = 0x0080;

TemplateWriter PickerTemplate() {
  TemplateWriter t;
  t.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.Dword(0);
  t.Word(3);  // items
  for (short v : {0, 0, 230, 250}) t.Word(static_cast<WORD>(v));
  t.Word(0);  // no menu
  t.Word(0);  // the standard dialog class
  t.Text(L"");
  t.Word(8);
  t.Text(L"MS Shell Dlg");
  t.Item(WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 7, 7,
         216, 212, CDlgGetPath::kTreeId, WC_TREEVIEWW, 0, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, 119, 227, 50, 16, IDOK, nullptr, kButtonAtom, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 173, 227, 50, 16, IDCANCEL, nullptr, kButtonAtom, L"Cancel");
  return t;
}

int SmallIcon(const std::wstring& path, DWORD attributes, UINT extraFlags) {
  SHFILEINFOW info{};
  if (::SHGetFileInfoW(path.c_str(), attributes, &info, sizeof info,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extraFlags) == 0)
    return 0;
  return info.iIcon;
}

}  // namespace

FolderSource& PlatformFolderSource() {
  static Win32FolderSource source;
  return source;
}

}  // namespace corekit

struct CDlgGetPath::Window {
  Window(CDlgGetPath& picker, corekit::FolderSource& source) : owner(picker), tree(source) {}

  CDlgGetPath& owner;
  corekit::FolderTree tree;
  HWND dialog = nullptr;
  std::string selected;

  HWND Tree() const { return ::GetDlgItem(dialog, kTreeId); }

  int IconOf(const corekit::FolderNode& node) const {
    if (node.kind == corekit::FolderKind::kDrive) return corekit::SmallIcon(nv::text::Widen(node.path), 0, 0);
    return corekit::SmallIcon(L"folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES);
  }

  void Insert(HTREEITEM parent, size_t index) {
    const corekit::FolderNode& node = tree.Node(index);
    std::wstring text = nv::text::Widen(node.text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = text.data();
    insert.item.lParam = static_cast<LPARAM>(index);
    insert.item.cChildren = 1;  // until expanded: whether it has any is found out then
    insert.item.iImage = insert.item.iSelectedImage = IconOf(node);
    ::SendMessageW(Tree(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
  }

  void OnInit() {
    ::SetWindowTextW(dialog, nv::text::Widen(owner.m_title).c_str());
    SHFILEINFOW info{};
    const auto images = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    // The system's image list: shared, never destroyed by us.
    if (images != nullptr)
      ::SendMessageW(Tree(), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    for (size_t index : tree.Roots()) Insert(TVI_ROOT, index);
  }

  void OnExpanding(const NMTREEVIEWW& change) {
    if ((change.action & TVE_EXPAND) == 0) return;
    const auto index = static_cast<size_t>(change.itemNew.lParam);
    if (tree.Node(index).listed) return;
    const std::vector<size_t> children = tree.Expand(index);
    for (size_t child : children) Insert(change.itemNew.hItem, child);
    if (children.empty()) {
      TVITEMW item{};
      item.mask = TVIF_CHILDREN;
      item.hItem = change.itemNew.hItem;
      item.cChildren = 0;
      ::SendMessageW(Tree(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
  }

  void OnSelected(const NMTREEVIEWW& change) {
    selected =
        change.itemNew.hItem != nullptr ? tree.Node(static_cast<size_t>(change.itemNew.lParam)).path : "";
    ::EnableWindow(::GetDlgItem(dialog, IDOK), selected.empty() ? FALSE : TRUE);
  }

  static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    try {
      switch (message) {
        case WM_INITDIALOG:
          self->dialog = dialog;
          self->OnInit();
          return TRUE;
        case WM_NOTIFY: {
          const auto* header = reinterpret_cast<const NMHDR*>(lParam);
          if (header->idFrom != static_cast<UINT_PTR>(kTreeId)) return FALSE;
          if (header->code == TVN_ITEMEXPANDINGW)
            self->OnExpanding(*reinterpret_cast<const NMTREEVIEWW*>(lParam));
          if (header->code == TVN_SELCHANGEDW)
            self->OnSelected(*reinterpret_cast<const NMTREEVIEWW*>(lParam));
          return FALSE;
        }
        case WM_COMMAND:
          if (LOWORD(wParam) == IDOK && !self->selected.empty()) {
            self->owner.m_path = self->selected;
            ::EndDialog(dialog, IDOK);
            return TRUE;
          }
          if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
          }
          return FALSE;
        default:
          return FALSE;
      }
    } catch (...) {
      CDebug::dprintf("CDlgGetPath: message %u stopped by an error\n", message);
      ::EndDialog(dialog, IDCANCEL);
      return TRUE;
    }
  }
};

int CDlgGetPath::DoModal() noexcept {
  m_path.clear();
  try {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    Window window(*this, m_source);
    const corekit::TemplateWriter dialogTemplate = corekit::PickerTemplate();
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate.get(),
                                                     static_cast<HWND>(m_parent), &Window::Procedure,
                                                     reinterpret_cast<LPARAM>(&window));
    if (result != IDOK) m_path.clear();
    return result == IDOK ? kIdOk : kIdCancel;
  } catch (...) {
    m_path.clear();
    return kIdCancel;
  }
}
