// The folder picker under Wine: a second thread finds the dialog, walks the tree down to a
// scratch folder as a user would (expand, select), and presses OK or Cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "corekit/folder_picker.h"
#include "platform/text.h"
#include "platform/windows_api.h"
// commctrl.h after windows.h.
#include <commctrl.h>

#include "support/test_support.h"

namespace {

constexpr const char* kTitle = "Choose the shared folder";

HWND WaitForDialog() {
  for (int i = 0; i < 200; ++i) {
    if (HWND dialog = ::FindWindowW(L"#32770", nv::text::Widen(kTitle).c_str())) return dialog;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

std::string ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW data{};
  data.mask = TVIF_TEXT;
  data.hItem = item;
  data.pszText = text;
  data.cchTextMax = MAX_PATH;
  ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
  return nv::text::Narrow(text);
}

std::vector<std::string> Children(HWND tree, HTREEITEM parent) {
  std::vector<std::string> texts;
  auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(
      tree, TVM_GETNEXTITEM, parent == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                            reinterpret_cast<LPARAM>(item))))
    texts.push_back(ItemText(tree, item));
  return texts;
}

HTREEITEM FindChild(HWND tree, HTREEITEM parent, const std::string& text) {
  auto item = reinterpret_cast<HTREEITEM>(::SendMessageW(
      tree, TVM_GETNEXTITEM, parent == TVI_ROOT ? TVGN_ROOT : TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
  for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                            reinterpret_cast<LPARAM>(item))))
    if (::lstrcmpiW(nv::text::Widen(ItemText(tree, item)).c_str(), nv::text::Widen(text).c_str()) == 0)
      return item;
  return nullptr;
}

// The folders of "C:\a\b" as the tree shows them: "C:", "a", "b".
std::vector<std::string> Steps(const std::string& path) {
  std::vector<std::string> steps{path.substr(0, 2)};
  size_t start = 3;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) steps.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

std::string LongPath(const std::string& path) {
  wchar_t full[MAX_PATH];
  const DWORD n = ::GetLongPathNameW(nv::text::Widen(path).c_str(), full, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? path : nv::text::Narrow(std::wstring(full, n));
}

TEST(FolderPickerWin32, WalkDownToAFolderAndChooseIt) {
  corekit_test::TempDir dir;
  std::filesystem::create_directories(dir.path() / "Shared" / "Reports");
  std::filesystem::create_directories(dir.path() / "alpha");
  const std::string wanted = LongPath(dir.path().u8string()) + "\\Shared";

  struct Seen {
    std::vector<std::string> roots;
    std::vector<std::string> listed;
    bool okAfterSelection = false;
    std::string failure;
  } seen;
  std::thread user([&] {
    const HWND dialog = WaitForDialog();
    if (dialog == nullptr) {
      seen.failure = "no dialog";
      return;
    }
    const HWND tree = ::GetDlgItem(dialog, CDlgGetPath::kTreeId);
    seen.roots = Children(tree, TVI_ROOT);
    HTREEITEM item = TVI_ROOT;
    for (const std::string& step : Steps(wanted)) {
      if (item != TVI_ROOT) ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
      HTREEITEM next = FindChild(tree, item, step);
      if (next == nullptr) {
        seen.failure = "no item " + step;
        break;
      }
      item = next;
    }
    if (seen.failure.empty()) {
      // The scratch folder's own children, listed when it was expanded on the way down.
      seen.listed = Children(tree, reinterpret_cast<HTREEITEM>(::SendMessageW(
                                       tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item))));
      ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      seen.okAfterSelection = ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE;
      ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    } else {
      ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  });
  CDlgGetPath picker;
  picker.SetTitle(kTitle);
  const int result = picker.DoModal();
  user.join();
  ASSERT_EQ(seen.failure, "");
  EXPECT_EQ(seen.roots.back(), "Network Neighborhood");
  EXPECT_NE(std::find(seen.roots.begin(), seen.roots.end(), "C:"), seen.roots.end());
  EXPECT_TRUE(seen.okAfterSelection);
  EXPECT_EQ(seen.listed, (std::vector<std::string>{"alpha", "Shared"}));
  EXPECT_EQ(result, CDlgGetPath::kIdOk);
  EXPECT_EQ(::lstrcmpiW(nv::text::Widen(picker.GetPath()).c_str(), nv::text::Widen(wanted).c_str()), 0)
      << picker.GetPath() << " / " << wanted;
}

TEST(FolderPickerWin32, CancelGivesNoPathAndTheNetworkExpandsWithoutHarm) {
  bool okOnNetworkRoot = true;
  std::thread user([&] {
    const HWND dialog = WaitForDialog();
    if (dialog == nullptr) return;
    const HWND tree = ::GetDlgItem(dialog, CDlgGetPath::kTreeId);
    HTREEITEM network = FindChild(tree, TVI_ROOT, "Network Neighborhood");
    ::SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(network));
    ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(network));
    okOnNetworkRoot = ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE;
    ::SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // the network root is no folder: OK does nothing
    ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  CDlgGetPath picker;
  picker.SetTitle(kTitle);
  EXPECT_EQ(picker.DoModal(), CDlgGetPath::kIdCancel);
  user.join();
  EXPECT_FALSE(okOnNetworkRoot);
  EXPECT_EQ(picker.GetPath(), "");
}

}  // namespace
