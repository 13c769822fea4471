// The tray menu's configuration, options and About commands under Wine: each opens its dialog
// in Netvane.exe; the test sets controls and presses buttons from outside, as another program
// can, and reads the registry the dialog wrote.  Message boxes are trace lines here
// (NV_NO_MESSAGEBOX), so the restart question is answered no.
#include <gtest/gtest.h>

#include <cwchar>

#include "tray_harness.h"
// commctrl.h needs the types of windows.h, which the harness brings.
#include <commctrl.h>
#include <tlhelp32.h>

using namespace nv::app::testing;

namespace {

constexpr WPARAM kCmdAbout = 5001;
constexpr WPARAM kCmdConfig = 5004;
constexpr WPARAM kCmdOptions = 5005;
constexpr WPARAM kCmdExit = 5007;
constexpr int kSheetTab = 1058, kSheetCancel = 1061, kFolderAdd = 1086, kPickerTree = 1001;

// A modal dialog shows itself once its controls exist and WM_INITDIALOG has run.
HWND WaitForDialog(const wchar_t* title) {
  HWND dialog = nullptr;
  WaitUntil(
      [&] { return (dialog = ::FindWindowW(L"#32770", title)) != nullptr && ::IsWindowVisible(dialog); },
      20000);
  return dialog;
}

// A control of the dialog or of one of its pages.
HWND FindControl(HWND dialog, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (::GetDlgCtrlID(child) == s->id) s->found = child;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What a click on a box does, carried out with messages: the new check state, then the
// notification to the control's dialog.  (A cross-process BM_CLICK depends on which window is
// active when it arrives.)
void SetBox(HWND dialog, int id, bool on) {
  const HWND box = FindControl(dialog, id);
  ASSERT_NE(box, nullptr) << id;
  ::SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  ::SendMessageW(::GetParent(box), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

void Press(HWND dialog, int id) { ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool Gone(HWND window) {
  return WaitUntil([&] { return !::IsWindow(window); }, 20000);
}

// The process that started `process`, from a snapshot of all processes (0 when gone).
DWORD ParentOf(DWORD process) {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == process) {
      parent = entry.th32ParentProcessID;
      break;
    }
  }
  ::CloseHandle(snapshot);
  return parent;
}

// The folder picker's dialog in a process the tray program started: its tree, waited for.  Other
// tests' dialogs in the same Wine prefix are listed too, and have controls of the same number.
HWND WaitForPickerOutside(DWORD tray) {
  struct Search {
    DWORD tray;
    HWND found;
  } search{tray, nullptr};
  WaitUntil([&] {
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
          auto* s = reinterpret_cast<Search*>(param);
          DWORD process = 0;
          ::GetWindowThreadProcessId(window, &process);
          if (process != s->tray && ::IsWindowVisible(window) &&
              ::GetDlgItem(window, kPickerTree) != nullptr && ParentOf(process) == s->tray)
            s->found = window;
          return s->found == nullptr;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  });
  return search.found;
}

class TrayDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_.WriteStandardSettings(install_.path(), 5);
    key_.Set(L"IPCfg\\info1", L"dwFlags", 0u);  // separate gateways
  }
  InstallFolder install_;
  ProductKey key_;
};

TEST_F(TrayDialogsTest, ConfigurationOptionsAndAboutOpenFromTheTrayAndSaveOnlyOnOk) {
  TrayProcess tray(install_);
  const HWND frame = WaitForFrame();
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(tray.WaitForTrace("Start-up done")) << tray.Trace();

  // One stored network configuration: IP1Cfg.  Cancel writes nothing.
  ::PostMessageW(frame, WM_COMMAND, kCmdConfig, 0);
  HWND ip1 = WaitForDialog(L"IP Configuration");
  ASSERT_NE(ip1, nullptr) << tray.Trace();
  SetBox(ip1, 1025, true);  // same gateway
  Press(ip1, IDCANCEL);
  ASSERT_TRUE(Gone(ip1));
  EXPECT_EQ(key_.Number(L"IPCfg\\info1", L"dwFlags"), 0u);
  EXPECT_EQ(key_.Number(L"IPCfg\\info1", L"Gateway"), 0xC0000201u);

  // OK stores the shared gateway; the adapter was configured before, so no restart question.
  ::PostMessageW(frame, WM_COMMAND, kCmdConfig, 0);
  ip1 = WaitForDialog(L"IP Configuration");
  ASSERT_NE(ip1, nullptr);
  SetBox(ip1, 1025, true);
  Press(ip1, IDOK);
  ASSERT_TRUE(Gone(ip1));
  EXPECT_EQ(key_.Number(L"IPCfg\\info1", L"dwFlags"), 0x01u);
  EXPECT_EQ(key_.Number(L"IPCfg\\info1", L"Gateway"), 0u);
  EXPECT_EQ(key_.Number(L"IPCfg", L"dwIPnum"), 1u);
  EXPECT_FALSE(tray.TraceHas("Restart now?"));

  // Two configurations: IP2Cfg; OK asks whether to restart (answered no here).
  key_.Set(L"IPCfg", L"dwIPnum", 2u);
  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  ASSERT_EQ(tray.Wait(), 0u);
  TrayProcess second(install_);
  const HWND frame2 = WaitForFrame();
  ASSERT_TRUE(second.WaitForTrace("Start-up done")) << second.Trace();
  ::PostMessageW(frame2, WM_COMMAND, kCmdConfig, 0);
  HWND ip2 = WaitForDialog(L"IP Configuration for Each Network");
  ASSERT_NE(ip2, nullptr) << second.Trace();
  SetBox(ip2, 1230, true);  // DHCP on network B
  Press(ip2, IDOK);
  ASSERT_TRUE(Gone(ip2));
  EXPECT_EQ(key_.Number(L"IPCfg\\info1", L"dwFlags"), 0x11u);  // DHCP; the shared gateway stays
  EXPECT_EQ(key_.Number(L"IPCfg", L"dwIPnum"), 2u);
  EXPECT_TRUE(
      second.WaitForTrace("MessageBox(Netvane): Windows must restart to use the new network settings.\n"
                          "Restart now?"))
      << second.Trace();

  // The option sheet: the log off on the manage page, then Save.
  ::PostMessageW(frame2, WM_COMMAND, kCmdOptions, 0);
  HWND sheet = WaitForDialog(L"Advanced Options");
  ASSERT_NE(sheet, nullptr) << second.Trace();
  SetBox(sheet, 1084, false);  // log on -> off
  SetBox(sheet, 1083, true);
  Press(sheet, 1060);
  ASSERT_TRUE(Gone(sheet));
  const auto opt = key_.Number(L"AdOpt", L"dwOpt");
  ASSERT_TRUE(opt.has_value());
  EXPECT_EQ(*opt & 0x04u, 0u);

  // About: the version line, then Close.
  ::PostMessageW(frame2, WM_COMMAND, kCmdAbout, 0);
  HWND about = WaitForDialog(L"About Netvane");
  ASSERT_NE(about, nullptr) << second.Trace();
  wchar_t version[128] = {};
  ::GetWindowTextW(FindControl(about, 1011), version, 128);
  // Netvane.exe carries the project's version: major, minor and the third number as the build.
  wchar_t expected[64] = {};
  std::swprintf(expected, 64, L"Netvane Version %d.%d (Build %04d)", NV_VERSION_MAJOR, NV_VERSION_MINOR,
                NV_VERSION_PATCH);
  EXPECT_EQ(std::wstring(version), expected);
  Press(about, IDOK);
  ASSERT_TRUE(Gone(about));
  EXPECT_TRUE(second.WaitForTrace("---------->ABoutOkButton"));

  ::PostMessageW(frame2, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(second.Wait(), 0u);
}

// The option sheet's folder picker runs as the console user (under Wine every process may ask
// for that token, so the tray program always starts the picker as a process of its own): the
// sheet waits disabled but answering, and gets the folder only when one was chosen.
TEST_F(TrayDialogsTest, FolderPickerRunsAsTheConsoleUserInAProcessOfItsOwn) {
  TrayProcess tray(install_);
  const HWND frame = WaitForFrame();
  ASSERT_NE(frame, nullptr);
  ASSERT_TRUE(tray.WaitForTrace("Start-up done")) << tray.Trace();
  ::PostMessageW(frame, WM_COMMAND, kCmdOptions, 0);
  const HWND sheet = WaitForDialog(L"Advanced Options");
  ASSERT_NE(sheet, nullptr) << tray.Trace();
  ::SendDlgItemMessageW(sheet, kSheetTab, TCM_SETCURFOCUS, 2, 0);  // the folder page
  const HWND add = FindControl(sheet, kFolderAdd);
  ASSERT_NE(add, nullptr);
  const auto openPicker = [&] {
    ::PostMessageW(::GetParent(add), WM_COMMAND, MAKEWPARAM(kFolderAdd, BN_CLICKED),
                   reinterpret_cast<LPARAM>(add));
    return WaitForPickerOutside(tray.id());
  };
  const std::string ran = "Folder picker ran with the console user's token: ";
  const auto pickerRuns = [&] {
    size_t count = 0;
    const std::string trace = tray.Trace();
    for (size_t at = trace.find(ran); at != std::string::npos; at = trace.find(ran, at + 1)) ++count;
    return count;
  };

  enum class End { kCancel, kChoose, kKill };
  for (const End end : {End::kCancel, End::kChoose, End::kKill}) {
    SCOPED_TRACE(static_cast<int>(end));
    const size_t before = pickerRuns();
    const HWND picker = openPicker();
    ASSERT_NE(picker, nullptr) << tray.Trace();
    // The sheet waits for it: disabled, yet its thread answers.
    EXPECT_FALSE(::IsWindowEnabled(sheet));
    DWORD_PTR answer = 0;
    EXPECT_NE(::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0);
    std::string expected = ran + "no folder chosen";
    if (end == End::kCancel) {
      Press(picker, IDCANCEL);
    } else if (end == End::kChoose) {
      // The first drive, as the tree lists it.
      const HWND tree = ::GetDlgItem(picker, kPickerTree);
      const auto first = ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
      ::SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, first);
      Press(picker, IDOK);
      DWORD drives = ::GetLogicalDrives();
      char letter = 'A';
      while ((drives & 1u) == 0 && letter < 'Z') drives >>= 1, ++letter;
      expected = ran + letter + ":\\\n";
    } else {
      // A picker that dies, even with status 0, hands back nothing.
      DWORD process = 0;
      ::GetWindowThreadProcessId(picker, &process);
      const HANDLE killed = ::OpenProcess(PROCESS_TERMINATE, FALSE, process);
      ASSERT_NE(killed, nullptr);
      ::TerminateProcess(killed, 0);
      ::CloseHandle(killed);
    }
    ASSERT_TRUE(WaitUntil([&] { return pickerRuns() == before + 1; })) << tray.Trace();
    EXPECT_TRUE(tray.TraceHas(expected)) << expected << "\n" << tray.Trace();
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(sheet) != FALSE; }));
  }
  Press(sheet, kSheetCancel);
  ASSERT_TRUE(Gone(sheet));
  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray.Wait(), 0u);
}

}  // namespace
