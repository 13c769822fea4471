// The printer and folder pages under Wine: the page templates of NvRes.dll with their views,
// driven as a person would (mouse clicks on list cells, buttons), then the registry or the
// device is read.  The printers are real ones in Wine's spooler; the folder-guard device is the
// test fake (Wine is an NT-family system, where the real one never opens).
#include <gtest/gtest.h>

#include <algorithm>

#include "corekit/testing/registry_sandbox.h"
#include "netvane/guard_device.h"
#include "netvane/win32/ad_page_views.h"
#include "nvprn/testing/test_printers.h"
#include "nvres/nvres_ids.h"
#include "platform/testing/screenshot.h"
#include "platform/text.h"
#include "support/config_test_support.h"
#include "support/fake_guard_device.h"
#include "support/list_view_test_support.h"
// After windows.h.
#include <commctrl.h>

namespace {

using nv::core::testing::FakeGuardDevice;
using nv::core::testing::GuardState;
using nv::core::testing::RawRecord;

void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// A checked screenshot of `window` as "view-<name>.png" in the artifacts folder: on the test's
// own display, in front and painted (platform/testing/screenshot.h).  The views here sit in a
// plain test frame, unskinned, with the test's own texts: the product's pages, skinned and in
// both languages, are the option sheet's "dialog-option-*" pictures of netvane/ui's tests.
void Screenshot(HWND window, const std::string& name) {
  nv::testing::ScreenshotOptions options;
  options.file = "view-" + name + ".png";
  options.pump = [] { Pump(); };
  const nv::testing::Screenshot shot =
      nv::testing::TakeWindowScreenshot(reinterpret_cast<std::uintptr_t>(window), options);
  EXPECT_TRUE(shot.ok) << options.file << ": " << shot.why;
}

using listtest::Cell;
using listtest::ClickCell;
using listtest::RowOf;

void Click(HWND page, int id) {
  ::SendDlgItemMessageW(page, id, BM_CLICK, 0, 0);
  Pump();
}

// A page as the option sheet hosts it: the dialog procedure forwards to the view.
template <typename View>
struct Page {
  View& view;
  std::function<void(HWND)> init;
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<Page*>(lParam)->init(dialog);
      return TRUE;
    }
    auto* page = reinterpret_cast<Page*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (page == nullptr) return FALSE;
    if (message == WM_COMMAND) return page->view.OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    if (message == WM_NOTIFY) return page->view.OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    return FALSE;
  }
};

class AdPagesDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    resources_ = ::LoadLibraryW(L"NvRes.dll");
  }
  static void TearDownTestSuite() { ::FreeLibrary(resources_); }
  void SetUp() override {
    ASSERT_NE(resources_, nullptr) << "NvRes.dll not found beside the test";
    frame_ = ::CreateWindowExW(0, L"STATIC", L"Netvane pages", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600,
                               420, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(frame_, nullptr);
  }
  void TearDown() override {
    if (frame_ != nullptr) ::DestroyWindow(frame_);
    cfgtest::DeleteScratchTree();
  }
  template <typename View>
  HWND Open(int templateId, Page<View>& page) {
    const HWND dialog = ::CreateDialogParamW(resources_, MAKEINTRESOURCEW(templateId), frame_,
                                             &Page<View>::Proc, reinterpret_cast<LPARAM>(&page));
    if (dialog != nullptr) {
      ::ShowWindow(dialog, SW_SHOW);
      Pump();
    }
    return dialog;
  }
  static HMODULE resources_;
  HWND frame_ = nullptr;
};
HMODULE AdPagesDialog::resources_ = nullptr;

TEST_F(AdPagesDialog, PrinterPageMarksWhatWasClickedAndSaves) {
  ASSERT_TRUE(nvprn::testing::RegisterTestDriver()) << ::GetLastError();
  const std::string scratch = corekit::testing::ProcessScratchName("NvPrintPage");
  const std::string office = scratch + " office";
  nvprn::testing::TestPrinter printerA(office);
  ASSERT_TRUE(printerA.added()) << printerA.error();

  CAdPrint model(cfgtest::ScratchBaseKey(), "C:\\Netvane", true);
  nv::core::CAdPrintView view(model);
  Page<nv::core::CAdPrintView> page{view, [&](HWND dialog) {
                                      view.OnInit(dialog, {"Printer", "Inside", "Outside", "Scan"}, nullptr);
                                    }};
  const HWND dialog = Open(IDD_AD_PRINT, page);
  ASSERT_NE(dialog, nullptr);
  const HWND list = ::GetDlgItem(dialog, IDC_PRINT_LIST);
  const int row = RowOf(list, office);
  ASSERT_GE(row, 0) << "the first opening lists the installed printers";
  EXPECT_EQ(Cell(list, row, 1), "[     ]");
  EXPECT_EQ(Cell(list, row, 2), "[     ]");

  ClickCell(list, row, 2);
  EXPECT_EQ(Cell(list, row, 2), "[  v  ]") << "a click on network B's cell marks it";
  ClickCell(list, row, 0);
  EXPECT_EQ(Cell(list, row, 1), "[     ]") << "the name column changes nothing";
  EXPECT_EQ(Cell(list, row, 2), "[  v  ]");
  Screenshot(dialog, "printer-page");

  view.Save();  // the sheet's OK
  CRegistry table;
  ASSERT_TRUE(table.uOpenKey(corekit::kHKeyLocalMachine, (cfgtest::ScratchBaseKey() + "\\Printer").c_str()));
  std::vector<uint8_t> marks;
  ASSERT_TRUE(table.GetBinaryValue(office.c_str(), marks));
  EXPECT_EQ(marks, (std::vector<uint8_t>{0, 1}));

  // Scan shows the saved marks again.
  Click(dialog, IDC_PRINT_SCAN);
  EXPECT_EQ(Cell(list, RowOf(list, office), 2), "[  v  ]");
  ::DestroyWindow(dialog);
}

struct ChooserScript {
  std::vector<std::string> answers;
  std::optional<std::string> Next() {
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
};

const nv::core::FolderPageLabels kLabels{"Paused",  "Always",  "Outside", "Hidden", "Read only",
                                         "Access",  "Network", "Folder",  "Paused", "Access",
                                         "Network", "Add",     "Delete",  "Apply",  "Read"};

TEST_F(AdPagesDialog, FolderPageEditsTheDevicesList) {
  ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", L"1");
  GuardState state;
  for (const auto& rec : {RawRecord(0x39, "C:\\DATA*"), RawRecord(0x39, "C:\\DATA~1*")})
    state.deviceRecords.insert(state.deviceRecords.end(), rec.begin(), rec.end());
  state.deviceCount = 2;
  CGuardDevice device(nv::core::testing::Windows95Family(), std::make_unique<FakeGuardDevice>(state));
  ChooserScript chooser{{"C:\\Program Files"}};
  nv::core::CWin32FolderPageHost host([&](HWND, const std::string&) { return chooser.Next(); });
  CAdFolder model(&device, "C:\\windows", {"Choose a folder", "Already in list"}, host);
  nv::core::CAdFolderView view(model);
  Page<nv::core::CAdFolderView> page{view, [&](HWND dialog) {
                                       host.SetOwner(dialog);
                                       view.OnInit(dialog, kLabels, nullptr);
                                     }};
  const HWND dialog = Open(IDD_AD_FOLDER, page);
  ASSERT_NE(dialog, nullptr);
  const HWND list = ::GetDlgItem(dialog, IDC_FOLDER_LIST);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(Cell(list, 0, 0), "C:\\DATA*");
  EXPECT_EQ(Cell(list, 0, 2), "Hidden");
  EXPECT_EQ(Cell(list, 0, 3), "NET B");
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_APPLY)));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_DELETE)));

  Click(dialog, IDC_FOLDER_ADD);
  ASSERT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(Cell(list, 1, 0), "C:\\Program Files*");
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_APPLY)));

  ClickCell(list, 1, 0);
  EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FOLDER_HIDDEN), BST_CHECKED) << "the row's flags are shown";
  EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FOLDER_NET_B), BST_CHECKED);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_DELETE)));
  Click(dialog, IDC_FOLDER_RDONLY);
  Click(dialog, IDC_FOLDER_ALWAYS);
  EXPECT_EQ(Cell(list, 1, 2), "Read");
  EXPECT_EQ(Cell(list, 1, 3), "Always");
  Screenshot(dialog, "folder-page");

  Click(dialog, IDC_FOLDER_APPLY);
  ASSERT_FALSE(state.requests.empty());
  const GuardState::Request& applied = state.requests.back();
  EXPECT_EQ(applied.code, nv::core::kGuardApplyList);
  EXPECT_EQ(FakeGuardDevice::Le32(applied.block.data()), 4u);
  ASSERT_EQ(applied.records.size(), 4u * 257u);
  EXPECT_EQ(applied.records[2 * 257], 0x32) << "in force, read-only, always";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&applied.records[2 * 257 + 1])), "C:\\Program Files*");
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_APPLY)));

  // Adding a folder below the Windows folder is refused (the box is a trace line here).
  chooser.answers = {"C:\\windows\\system32"};
  Click(dialog, IDC_FOLDER_ADD);
  EXPECT_EQ(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
  ::DestroyWindow(dialog);
  ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", nullptr);
}

TEST_F(AdPagesDialog, FolderPageIsInertOnTheNtFamily) {
  CGuardDevice device{COSversion()};  // Wine reports an NT-family system
  nv::core::CWin32FolderPageHost host({});
  CAdFolder model(&device, "C:\\windows", {"Choose a folder", "Already in list"}, host);
  nv::core::CAdFolderView view(model);
  Page<nv::core::CAdFolderView> page{view, [&](HWND dialog) { view.OnInit(dialog, kLabels, nullptr); }};
  const HWND dialog = Open(IDD_AD_FOLDER, page);
  ASSERT_NE(dialog, nullptr) << "the page opens without an error box";
  EXPECT_EQ(::SendDlgItemMessageW(dialog, IDC_FOLDER_LIST, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_APPLY))) << "no button disabled";
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_FOLDER_DELETE)));
  wchar_t label[64] = {};
  ::GetDlgItemTextW(dialog, IDC_FOLDER_RDONLY, label, 64);
  EXPECT_STREQ(label, L"Read only");
  Screenshot(dialog, "folder-page-nt");
  ::DestroyWindow(dialog);
}

}  // namespace
