// Netvane.exe under Wine: start-up and tray icon, the second start, window and copy-data
// requests, exit and end of session, switch failures, a DHCP port held by another program, a
// broken installation.  The run script gives the program a
// switch box on a serial port (a pseudo-terminal whose line changes a shim records) and says
// which port in NV_TEST_COMPORT; tests that need a change to go through skip without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>

#include "netvane/desktop_links.h"
#include "platform/testing/screenshot.h"
#include "platform/text.h"
#include "platform/win32_handles.h"
#include "tray_harness.h"
// shellapi.h and the socket headers after the windows.h types (tray_harness.h).
#include <shellapi.h>
#include <winsock2.h>
// Needs the socket headers before it.
#include <iphlpapi.h>

using namespace nv::app::testing;

namespace {

constexpr UINT kWmNvChange = WM_USER + 100;
constexpr WPARAM kCmdUpdate = 5002;
constexpr WPARAM kCmdChange = 5003;
constexpr WPARAM kCmdHelp = 5006;
constexpr WPARAM kCmdExit = 5007;
constexpr DWORD kExitSecondInstance = 1;
constexpr DWORD kExitNoResources = 2;

uint32_t SwitchPort() {
  wchar_t value[8] = {};
  return ::GetEnvironmentVariableW(L"NV_TEST_COMPORT", value, 8) > 0 ? static_cast<uint32_t>(_wtoi(value))
                                                                     : 0;
}

std::string LastLines() {
  const auto changes = LineChanges();
  return changes.empty() ? std::string() : changes.back();
}

using Log = std::vector<std::string>;

// The launcher service registers this source; the tray program's records then go to the event log.
bool EventSourceRegistered() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\NvMGR", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

// A tray change to network B, stopped at its log line "ID2": the program waits for the log's
// mutex, which this object holds until Release, so requests meet a busy frame meanwhile.
class ChangeHeldAtItsLogLine {
 public:
  ChangeHeldAtItsLogLine(const InstallFolder& install, const TrayProcess& tray, HWND frame) {
    // The last change's gateway line comes a moment after its "ID%d": holding the log before it
    // is written would stop the frame there instead of in the change.
    WaitForGatewayLines(install);
    m_mutex = ::CreateMutexW(nullptr, TRUE, L"NETVANE_LOG_MUTEX");
    ::PostMessageW(frame, kWmNvChange, 0, 0);
    m_holding = m_mutex != nullptr && tray.WaitForTrace("Change IPconfig(1)");
  }
  ~ChangeHeldAtItsLogLine() { Release(); }
  ChangeHeldAtItsLogLine(const ChangeHeldAtItsLogLine&) = delete;
  ChangeHeldAtItsLogLine& operator=(const ChangeHeldAtItsLogLine&) = delete;

  bool holding() const { return m_holding; }
  static void WaitForGatewayLines(const InstallFolder& install) {
    WaitUntil([&] {
      size_t changes = 0, checks = 0;
      for (const auto& line : install.LogMessages(InstallFolder::kGatewayLines)) {
        if (line.rfind("ID", 0) == 0) ++changes;
        if (line.rfind("GW ", 0) == 0) ++checks;
      }
      return checks >= changes;
    });
  }
  void Release() {
    if (m_mutex == nullptr) return;
    ::ReleaseMutex(m_mutex);
    ::CloseHandle(m_mutex);
    m_mutex = nullptr;
  }

 private:
  HANDLE m_mutex = nullptr;
  bool m_holding = false;
};

class TrayProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { key_.WriteStandardSettings(install_.path(), SwitchPort() != 0 ? SwitchPort() : 5); }

  void NeedSwitch() {
    if (SwitchPort() == 0) GTEST_SKIP() << "no serial switch box: run through run_tray_tests.sh";
  }

  // Starts the program and waits until its start-up change is over.
  std::unique_ptr<TrayProcess> StartTray() {
    auto tray = std::make_unique<TrayProcess>(install_);
    frame_ = WaitForFrame();
    EXPECT_NE(frame_, nullptr) << tray->Trace();
    EXPECT_TRUE(tray->WaitForTrace("Start-up done")) << tray->Trace();
    return tray;
  }

  bool WaitForLog(const Log& expected, int limitMs = 20000) {
    return WaitUntil([&] { return install_.LogMessages() == expected; }, limitMs);
  }

  // Starts the program on A and holds a tray change to B at its log line; null when it could
  // not (the test has failed then).
  std::unique_ptr<ChangeHeldAtItsLogLine> StartAndHoldAChange(std::unique_ptr<TrayProcess>& tray) {
    tray = StartTray();
    if (!WaitForLog({"START", "ID1"})) {
      ADD_FAILURE() << "no start-up change: " << tray->Trace();
      return nullptr;
    }
    auto held = std::make_unique<ChangeHeldAtItsLogLine>(install_, *tray, frame_);
    if (!held->holding()) {
      ADD_FAILURE() << "the change was not held: " << tray->Trace();
      return nullptr;
    }
    return held;
  }

  // The all-users desktop and its links, with a change helper in the installation for our links
  // to start; no folder when the desktop has none.
  struct Desktop {
    std::unique_ptr<nv::core::IDesktopLinks> links;
    std::string folder;
  };
  Desktop AllUsersDesktop() {
    install_.Write(L"LDNvChng.EXE", "");
    Desktop desktop{nv::core::MakeDesktopLinks(), {}};
    desktop.folder = desktop.links->Folder();
    if (!desktop.folder.empty()) ::CreateDirectoryW(nv::text::Widen(desktop.folder).c_str(), nullptr);
    return desktop;
  }

  InstallFolder install_;
  ProductKey key_;
  HWND frame_ = nullptr;
};

// The icon is read back from the notification area: modifying it succeeds only while it exists.
bool TrayIconShown(DWORD threadId) {
  struct Search {
    bool found = false;
  } search;
  ::EnumThreadWindows(
      threadId,
      [](HWND window, LPARAM param) -> BOOL {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = window;
        data.uID = 128;
        if (::Shell_NotifyIconW(NIM_MODIFY, &data)) reinterpret_cast<Search*>(param)->found = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TEST_F(TrayProgramTest, StartsHiddenWithItsTrayIconAndLogsStartAndShutdown) {
  auto tray = StartTray();
  ASSERT_NE(frame_, nullptr);
  EXPECT_FALSE(::IsWindowVisible(frame_));
  wchar_t title[64] = {};
  ::GetWindowTextW(frame_, title, 64);
  EXPECT_STREQ(title, L"Netvane");
  EXPECT_TRUE(tray->WaitForTrace("Tray icon added")) << tray->Trace();
  EXPECT_TRUE(WaitUntil([&] { return TrayIconShown(tray->threadId()); }, 5000));

  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
  const Log log = install_.LogMessages();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.front(), "START");
  EXPECT_EQ(log.back(), "SHUTDOWN");
  EXPECT_FALSE(TrayIconShown(tray->threadId()));
}

// A Wine virtual desktop of its own for the program (its taskbar shows the notification area),
// set up in Wine's settings for the test's time only.
class VirtualDesktop {
 public:
  explicit VirtualDesktop(const wchar_t* name) : m_name(name) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &m_key, nullptr);
    const wchar_t size[] = L"800x600";
    if (m_key != nullptr)
      ::RegSetValueExW(m_key, m_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(size), sizeof size);
  }
  ~VirtualDesktop() {
    if (m_key == nullptr) return;
    ::RegDeleteValueW(m_key, m_name);
    ::RegCloseKey(m_key);
  }
  VirtualDesktop(const VirtualDesktop&) = delete;
  VirtualDesktop& operator=(const VirtualDesktop&) = delete;

  // The frame of the program running on this desktop.
  HWND Frame() const {
    HWND frame = nullptr;
    HDESK desktop = ::OpenDesktopW(m_name, 0, FALSE, DESKTOP_READOBJECTS | DESKTOP_ENUMERATE);
    if (desktop == nullptr) return nullptr;
    ::EnumDesktopWindows(
        desktop,
        [](HWND window, LPARAM param) -> BOOL {
          wchar_t name[32] = {};
          ::GetClassNameW(window, name, 32);
          if (std::wstring(name) == L"Netvane_CLASS") *reinterpret_cast<HWND*>(param) = window;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&frame));
    ::CloseDesktop(desktop);
    return frame;
  }

 private:
  const wchar_t* m_name;
  HKEY m_key = nullptr;
};

TEST_F(TrayProgramTest, ScreenshotOfTheRunningProgram) {
  wchar_t artifacts[1024] = {};
  if (::GetEnvironmentVariableW(L"NV_TEST_ARTIFACT_DIR", artifacts, 1024) == 0)
    GTEST_SKIP() << "NV_TEST_ARTIFACT_DIR names no folder for the screenshot";
  VirtualDesktop desktop(L"NvTray");
  auto tray = std::make_unique<TrayProcess>(install_, L"NvTray", false);
  HWND frame = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (frame = desktop.Frame()) != nullptr; }));
  ASSERT_TRUE(WaitUntil([&] { return !install_.LogMessages().empty(); }));  // START
  // On network B the tray shows B's icon and name.
  if (SwitchPort() != 0) {
    ::SendMessageW(frame, kWmNvChange, 0, 0);
    EXPECT_EQ(install_.LogMessages().back(), "ID2");
  }
  ::Sleep(1000);  // the taskbar repaints

  const std::string png = Narrow(artifacts) + "/netvane-tray.png";
  ASSERT_TRUE(TakeScreenshot(png, "NvTray - Wine desktop")) << png;
  std::wstring winPng = L"Z:" + std::wstring(artifacts) + L"\\netvane-tray.png";
  std::replace(winPng.begin(), winPng.end(), L'/', L'\\');
  HANDLE file =
      ::CreateFileW(winPng.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << png;
  char magic[8] = {};
  DWORD got = 0;
  ::ReadFile(file, magic, sizeof magic, &got, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(std::string(magic, got), std::string("\x89PNG\r\n\x1a\n", 8));
  // What a person must see: the icon of the network in force in the notification area at the
  // bottom right (B's red diamond after the change, else A's green disc).
  const nv::testing::RgbImage image = nv::testing::ReadPicture(png);
  ASSERT_FALSE(image.empty()) << png;
  const nv::testing::Rgb icon =
      SwitchPort() != 0 ? nv::testing::Rgb{0xD9, 0x30, 0x25} : nv::testing::Rgb{0x1E, 0x8E, 0x3E};
  int shown = 0;
  for (int y = image.height - 30; y < image.height; ++y)
    for (int x = image.width - 60; x < image.width; ++x) {
      const nv::testing::Rgb c = image.At(x, y);
      shown +=
          std::abs(c.r - icon.r) < 40 && std::abs(c.g - icon.g) < 40 && std::abs(c.b - icon.b) < 40 ? 1 : 0;
    }
  EXPECT_GT(shown, 20) << png << ": no icon of the network in force in the notification area";

  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u);
}

// The help file beside the program opens through the shell (Wine's viewer shows its contents; the
// pages stay blank without an HTML engine, so only the opening is checked).
TEST_F(TrayProgramTest, HelpCommandOpensTheHelpFileOfTheInstallation) {
  install_.CopyFromBuild(L"Netvane_Help.chm", L"Netvane_Help.chm");
  auto tray = StartTray();
  ASSERT_NE(frame_, nullptr);
  ::PostMessageW(frame_, WM_COMMAND, kCmdHelp, 0);
  // The viewer runs as the console user, whatever token the tray program has (under Wine every
  // process may ask for that token, so the console user's is the one named).
  const std::string opened = "OnTrayHelp: \"C:\\windows\\hh.exe\" \"" +
                             Narrow(install_.File(L"Netvane_Help.chm")) +
                             "\" started with the console user's token";
  ASSERT_TRUE(tray->WaitForTrace(opened)) << tray->Trace();
  // The viewer's window carries the help file's title.
  HWND viewer = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (viewer = ::FindWindowW(nullptr, L"Netvane Help")) != nullptr; }));
  if (viewer != nullptr) ::PostMessageW(viewer, WM_CLOSE, 0, 0);
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
}

// A drive's persistent mapping in the profile of the user at the console (under Wine the test's
// own), as a logon with the drive connected leaves it; removed at the end whatever happened.
class PersistentMapping {
 public:
  explicit PersistentMapping(const std::wstring& drive) : m_path(L"Network\\Persistent\\" + drive) {
    nv::win32::UniqueKey key;
    const wchar_t remote[] = L"\\\\NW-OUT\\sys";
    m_planted = ::RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  key.put(), nullptr) == ERROR_SUCCESS &&
                ::RegSetValueExW(key.get(), L"RemotePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(remote),
                                 sizeof remote) == ERROR_SUCCESS;
  }
  ~PersistentMapping() { ::RegDeleteKeyW(HKEY_CURRENT_USER, m_path.c_str()); }
  PersistentMapping(const PersistentMapping&) = delete;
  PersistentMapping& operator=(const PersistentMapping&) = delete;

  bool planted() const { return m_planted; }
  bool exists() const {
    nv::win32::UniqueKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
  }

 private:
  std::wstring m_path;
  bool m_planted = false;
};

// The start-up change to A cancels A's drive letter, forgets its persistent mapping and connects
// it again: net.exe starts with the console user's token, and the connection call and the
// removal from the user's profile run while acting as that user (under Wine every process may
// ask for the token, so it is always the one named; Wine has no network provider, so the
// connection fails and its report is a trace line).
TEST_F(TrayProgramTest, TheDriveStepActsAsTheConsoleUser) {
  NeedSwitch();
  const PersistentMapping mapping(L"G:");
  ASSERT_TRUE(mapping.planted());
  key_.Set(L"AdOpt", L"szNetDrv0", L"G:");
  key_.Set(L"AdOpt", L"dwAutoLogin", 1u);
  key_.Set(L"", L"AServ0", L"NW-IN");
  key_.Set(L"", L"AUser0", L"anna");
  key_.Set(L"", L"APass0", L"secret");
  auto tray = StartTray();
  ASSERT_NE(frame_, nullptr);
  EXPECT_TRUE(tray->WaitForTrace(
      "CancelDrive G: \"C:\\windows\\system32\\net.exe\" use G: /delete ran with the console user's token"))
      << tray->Trace();
  EXPECT_TRUE(
      tray->WaitForTrace("Drive step: forget the persistent mapping of G: with the console user's token: 0"))
      << tray->Trace();
  EXPECT_FALSE(mapping.exists());
  EXPECT_TRUE(tray->WaitForTrace("Drive step: connect G: \\\\NW-IN\\sys with the console user's token: "))
      << tray->Trace();
  EXPECT_TRUE(tray->WaitForTrace("[G: Drive] ")) << tray->Trace();
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
}

TEST_F(TrayProgramTest, SecondStartMakesTheRunningInstanceChangeAndEnds) {
  NeedSwitch();
  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"})) << tray->Trace();

  TrayProcess second(install_);
  EXPECT_EQ(second.Wait(), kExitSecondInstance) << second.Trace();
  EXPECT_TRUE(WaitForLog({"START", "ID1", "ID2"})) << tray->Trace();
  EXPECT_EQ(LastLines(), "DTR=1 RTS=1");  // the box was told network B
  EXPECT_EQ(::FindWindowW(L"Netvane_CLASS", nullptr), frame_);

  // The settings name no adapter (MAC all zero), so the isolation check says it could not look,
  // in a log line of its own after each "ID%d".
  const std::string unchecked =
      "ISOLATION NOT CHECKED(the adapter 00-00-00-00-00-00 could not be read (error 87))";
  EXPECT_EQ(install_.LogMessages(InstallFolder::kIsolationLines),
            (Log{"START", "ID1", unchecked, "ID2", unchecked}));

  // Each change writes a "started" record ahead, then its completion; without the launcher
  // service's event source they go to the file.
  if (EventSourceRegistered())
    GTEST_SKIP() << "the NvMGR event source exists in this prefix: records go there";
  ASSERT_TRUE(WaitUntil([&] { return install_.AuditRecords().size() == 4; }))
      << install_.AuditRecords().size();
  const auto has = [](const std::string& record, const std::string& part) {
    return record.find(part) != std::string::npos;
  };
  std::vector<std::string> records;
  const auto all = install_.AuditRecords();
  for (size_t i = 0; i < all.size(); ++i) {
    const bool started = has(all[i], "\"outcome\":\"started\"");
    EXPECT_EQ(started, i % 2 == 0) << "record " << i << " out of order: " << all[i];
    if (!started) records.push_back(all[i]);
  }
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(::GetFileAttributesW(install_.File(L"Log\\audit.pending").c_str()), INVALID_FILE_ATTRIBUTES)
      << "both changes completed: nothing pending";
  EXPECT_TRUE(has(records[0], "\"trigger\":\"start-up\",\"from\":\"A\",\"fromName\":\"INTRA\",\"to\":\"A\""))
      << records[0];
  EXPECT_TRUE(
      has(records[1], "\"trigger\":\"second start\",\"from\":\"A\",\"fromName\":\"INTRA\",\"to\":\"B\""))
      << records[1];
  for (const char* step : {"{\"step\":\"printers before\",\"network\":\"B\",\"result\":1,",
                           "{\"step\":\"switch box\",\"network\":\"B\",\"result\":1,",
                           "{\"step\":\"route addition\",\"network\":\"B\"",
                           "{\"step\":\"isolation check\",\"network\":\"B\",\"result\":0,"})
    EXPECT_TRUE(has(records[1], step)) << step << "\n" << records[1];
  EXPECT_TRUE(has(records[1], "\"isolation\":{\"state\":\"not checked\"")) << records[1];
  EXPECT_TRUE(has(records[1], "\"outcome\":\"changed, isolation not checked\"")) << records[1];
}

TEST_F(TrayProgramTest, SecondStartWhileAChangeRunsIsDropped) {
  NeedSwitch();
  std::unique_ptr<TrayProcess> tray;
  const auto held = StartAndHoldAChange(tray);
  ASSERT_TRUE(held);

  TrayProcess second(install_);
  ASSERT_TRUE(second.WaitForTrace("Second start: asking the running instance to change network"));
  EXPECT_FALSE(second.Wait(500).has_value()) << "the second start must wait for the busy instance";
  held->Release();

  EXPECT_EQ(second.Wait(), kExitSecondInstance);
  ASSERT_TRUE(tray->WaitForTrace("OnTrayChange End"));
  ::Sleep(1000);  // a change that was not dropped would show by now
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  EXPECT_EQ(tray->CountInTrace("OnTrayChange"), 2u) << tray->Trace();
  EXPECT_EQ(tray->CountInTrace("OnTrayChange End"), 1u);
}

TEST_F(TrayProgramTest, TheProgressWindowShowsTheChangeUnderWay) {
  NeedSwitch();
  std::unique_ptr<TrayProcess> tray;
  const auto held = StartAndHoldAChange(tray);
  ASSERT_TRUE(held);
  const HWND progress = ::FindWindowW(L"#32770", L"Netvane");
  ASSERT_NE(progress, nullptr) << tray->Trace();
  DWORD owner = 0;
  ::GetWindowThreadProcessId(progress, &owner);
  EXPECT_EQ(owner, tray->id());
  EXPECT_TRUE(::IsWindowVisible(progress));
  // The program's thread is held: read what it has set without sending it a message.
  HWND firstLine = ::GetDlgItem(progress, 1035);
  wchar_t text[256] = {};
  ::InternalGetWindowText(firstLine, text, 256);
  EXPECT_EQ(Narrow(text), "Changing to INTER...");

  wchar_t artifacts[1024] = {};
  if (::GetEnvironmentVariableW(L"NV_TEST_ARTIFACT_DIR", artifacts, 1024) != 0) {
    const std::string png = Narrow(artifacts) + "/netvane-tray-progress.png";
    ASSERT_TRUE(TakeScreenshot(png, "the whole screen: no such window")) << "no screenshot";
    // The test's own display shows only this program's windows: never a blank screen.
    EXPECT_EQ(nv::testing::NearlyOneColour(nv::testing::ReadPicture(png)), "") << png;
  }
  held->Release();
  ASSERT_TRUE(tray->WaitForTrace("OnTrayChange End"));
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(progress); }));  // closed when the change is over
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
}

TEST_F(TrayProgramTest, CopyDataDuringAChangeIsDropped) {
  NeedSwitch();
  std::unique_ptr<TrayProcess> tray;
  const auto held = StartAndHoldAChange(tray);
  ASSERT_TRUE(held);
  const HWND frame = frame_;
  std::thread backToA([frame] { SendCopyData(frame, 1); });
  ::Sleep(500);  // the request waits until the change repaints, and is refused then
  held->Release();
  backToA.join();

  ASSERT_TRUE(tray->WaitForTrace("OnTrayChange End"));
  EXPECT_TRUE(tray->TraceHas("Receive onCopyData: refused, a change runs")) << tray->Trace();
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  SendCopyData(frame_, 0);
  EXPECT_EQ(key_.Number(L"Status", L"dwNet"), 2u);  // the frame knows it is on B
}

TEST_F(TrayProgramTest, WindowMessageAndCopyDataRequests) {
  NeedSwitch();
  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));

  struct Step {
    const char* what;
    std::function<void()> send;
    Log log;                         // the whole log afterwards
    std::optional<uint32_t> status;  // Status dwNet afterwards
  };
  const HWND frame = frame_;
  auto copy = [frame](uintptr_t command, const std::string& payload = "") {
    return [=] { SendCopyData(frame, command, payload); };
  };
  const Step steps[] = {
      {"WM_USER+100 asks for a change",
       [frame] { ::SendMessageW(frame, kWmNvChange, 0, 0); },
       {"START", "ID1", "ID2"},
       std::nullopt},
      {"command 0 on B writes the status", copy(0), {"START", "ID1", "ID2"}, 2},
      {"command 2 on B: already there", copy(2), {"START", "ID1", "ID2"}, 2},
      {"command 1 with a payload is ignored", copy(1, "A"), {"START", "ID1", "ID2"}, 2},
      {"command 3 is not a command", copy(3), {"START", "ID1", "ID2"}, 2},
      {"command 1 changes to A", copy(1), {"START", "ID1", "ID2", "ID1"}, 2},
      {"command 0 on A writes the status", copy(0), {"START", "ID1", "ID2", "ID1"}, 1},
      {"command 1 on A: already there", copy(1), {"START", "ID1", "ID2", "ID1"}, 1},
      {"command 2 changes to B", copy(2), {"START", "ID1", "ID2", "ID1", "ID2"}, 1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.send();  // sent: handled, change included, when it returns
    EXPECT_EQ(install_.LogMessages(), step.log);
    EXPECT_EQ(key_.Number(L"Status", L"dwNet"), step.status);
  }
  EXPECT_EQ(LastLines(), "DTR=1 RTS=1");
}

TEST_F(TrayProgramTest, CopyDataIsIgnoredWithoutUseDll) {
  key_.Set(L"", L"UseDll", 0u);
  auto tray = StartTray();
  for (uintptr_t command : {0u, 1u, 2u}) SendCopyData(frame_, command);
  EXPECT_EQ(tray->CountInTrace("UseDll"), 0u);
  EXPECT_EQ(tray->CountInTrace("OnDllChange"), 0u);
  EXPECT_EQ(tray->CountInTrace("Receive onCopyData"), 3u) << tray->Trace();
  EXPECT_FALSE(key_.Number(L"Status", L"dwNet").has_value());
}

TEST_F(TrayProgramTest, LeavingOnNetworkBReturnsToAFirst) {
  NeedSwitch();
  struct Way {
    const char* what;
    UINT message;
    WPARAM wParam;
  };
  const Way ways[] = {
      {"exit command", WM_COMMAND, kCmdExit},
      {"window closed", WM_CLOSE, 0},
      {"end of the session", WM_ENDSESSION, TRUE},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    InstallFolder install;
    key_.WriteStandardSettings(install.path(), SwitchPort());
    TrayProcess tray(install);
    const HWND frame = WaitForFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return install.LogMessages() == Log{"START", "ID1"}; })) << tray.Trace();
    ::SendMessageW(frame, WM_COMMAND, kCmdChange, 0);
    ASSERT_EQ(install.LogMessages(), (Log{"START", "ID1", "ID2"}));
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ProductKey::kRunOnceKey, ProductKey::kRunOnceValue);

    ::PostMessageW(frame, way.message, way.wParam, 0);
    EXPECT_EQ(tray.Wait(), 0u) << tray.Trace();
    EXPECT_EQ(install.LogMessages(), (Log{"START", "ID1", "ID2", "ID1", "SHUTDOWN"}));
    EXPECT_EQ(LastLines(), "DTR=0 RTS=0");  // the box was told network A
    EXPECT_EQ(ProductKey::RunOnce(), install.path() + L"\\LDNvChng.EXE");
  }
}

TEST_F(TrayProgramTest, EndOfSessionOnBIsFinishedBeforeWmEndSessionReturns) {
  NeedSwitch();
  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));
  ::SendMessageW(frame_, WM_COMMAND, kCmdChange, 0);
  ASSERT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ProductKey::kRunOnceKey, ProductKey::kRunOnceValue);

  // Windows may end the process any time after asking: RunOnce is written at the question.
  EXPECT_TRUE(::SendMessageW(frame_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
  EXPECT_EQ(ProductKey::RunOnce(), install_.path() + L"\\LDNvChng.EXE");
  // The return to A and the shutdown are done when WM_ENDSESSION returns, with the reason given.
  ::SendMessageW(frame_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2", "ID1", "SHUTDOWN"}));
  EXPECT_EQ(LastLines(), "DTR=0 RTS=0");
  EXPECT_TRUE(tray->TraceHas("ShutdownBlockReasonCreate(Returning to network A)")) << tray->Trace();
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
}

// Holds UDP port 67 as another DHCP server on this machine would, until Release.
class DhcpPortHolder {
 public:
  DhcpPortHolder() {
    WSADATA data;
    m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!m_started) return;
    m_socket = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(67);
    if (m_socket != INVALID_SOCKET &&
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
      Release();
  }
  ~DhcpPortHolder() {
    Release();
    if (m_started) ::WSACleanup();
  }
  DhcpPortHolder(const DhcpPortHolder&) = delete;
  DhcpPortHolder& operator=(const DhcpPortHolder&) = delete;

  bool holding() const { return m_socket != INVALID_SOCKET; }
  void Release() {
    if (m_socket != INVALID_SOCKET) ::closesocket(m_socket);
    m_socket = INVALID_SOCKET;
  }

 private:
  bool m_started = false;
  SOCKET m_socket = INVALID_SOCKET;
};

TEST_F(TrayProgramTest, AnswersWhileAnotherProgramHoldsTheDhcpPortAndOpensTheEmulationOnceItIsFree) {
  key_.Set(L"IPCfg", L"dwIPnum", 2u);  // two configurations: the emulation is needed
  DhcpPortHolder port;
  if (!port.holding()) GTEST_SKIP() << "UDP port 67 is taken already (another test?)";
  TrayProcess tray(install_);
  frame_ = WaitForFrame();
  ASSERT_NE(frame_, nullptr) << tray.Trace();

  // Command 0 writes the network in force to the registry.  A request that meets the start-up
  // change is refused at once (FALSE); the window must take one within 5 s all the same.
  const DWORD asked = ::GetTickCount();
  bool taken = false;
  while (!taken && ::GetTickCount() - asked < 5000) {
    COPYDATASTRUCT status{};
    DWORD_PTR answer = 0;
    ASSERT_NE(::SendMessageTimeoutW(frame_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&status), SMTO_NORMAL,
                                    5000, &answer),
              0)
        << "the window does not answer\n"
        << tray.Trace();
    taken = answer != 0;
    if (!taken) ::Sleep(100);
  }
  ASSERT_TRUE(taken) << "no status request taken within 5 s\n" << tray.Trace();
  EXPECT_EQ(key_.Number(L"Status", L"dwNet"), 1u);
  ASSERT_TRUE(WaitUntil([&] { return !install_.LogMessages().empty(); }));
  EXPECT_EQ(install_.LogMessages().front(), "START");

  TrayProcess second(install_);
  EXPECT_EQ(second.Wait(), kExitSecondInstance) << second.Trace();

  ::Sleep(1500);  // more retries, told only once
  auto linesStartingWith = [&](const std::string& prefix) {
    size_t count = 0;
    const std::string trace = tray.Trace();
    for (size_t at = 0; (at = trace.find(prefix, at)) != std::string::npos; at += prefix.size())
      if (at == 0 || trace[at - 1] == '\n') ++count;
    return count;
  };
  EXPECT_EQ(linesStartingWith("OpenDhcpEmu failed (open: bind UDP port 67"), 1u) << tray.Trace();
  EXPECT_EQ(tray.CountInTrace("Tray tip: DHCP emulation not ready: retrying"), 1u);
  port.Release();
  EXPECT_TRUE(tray.WaitForTrace("OpenDhcpEmu: open after", 5000)) << tray.Trace();

  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray.Wait(), 0u) << tray.Trace();
}

// One of this machine's adapters with a hardware address, if it has one.
struct Adapter {
  std::vector<BYTE> mac;
  std::string name;
};
std::optional<Adapter> FirstAdapter() {
  ULONG size = 64 * 1024;
  std::vector<BYTE> buffer(size);
  auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
  if (::GetAdaptersInfo(list, &size) != NO_ERROR) return std::nullopt;
  for (const IP_ADAPTER_INFO* a = list; a != nullptr; a = a->Next) {
    const std::vector<BYTE> mac(a->Address, a->Address + a->AddressLength);
    if (mac.size() == 6 && mac != std::vector<BYTE>(6, 0)) return Adapter{mac, a->AdapterName};
  }
  return std::nullopt;
}

// The record of fixed settings on the adapter, "szAppliedStatic" under IPCfg.
std::optional<std::string> AppliedStatic() {
  wchar_t value[512] = {};
  DWORD size = sizeof value;
  const std::wstring key = std::wstring(ProductKey::kPath) + L"\\IPCfg";
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"szAppliedStatic", RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
    return std::nullopt;
  return Narrow(value);
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// Wine has no call that sets an adapter's address (InitializeUnicastIpAddressEntry is missing and
// AddIPAddress answers "not supported"): what Wine shows is the record, the report and the recovery.
TEST_F(TrayProgramTest, FixedNetworkIsRecordedReportedAndUndoneOnTheWayBackAndAfterAKill) {
  NeedSwitch();
  const std::optional<Adapter> adapter = FirstAdapter();
  if (!adapter) GTEST_SKIP() << "no adapter with a hardware address";
  key_.Set(L"IPCfg", L"dwIPnum", 2u);
  key_.Set(L"IPCfg\\info0", L"dwFlags", 0x10u);       // A: DHCP
  key_.Set(L"IPCfg\\info1", L"dwFlags", 0u);          // B: 192.0.2.11/24 through 192.0.2.1
  key_.Set(L"IPCfg\\info1", L"szDns0", 0xC0000235u);  // 192.0.2.53
  for (const wchar_t* record : {L"IPCfg\\info0", L"IPCfg\\info1"}) {
    const std::wstring subkey = std::wstring(ProductKey::kPath) + L"\\" + record;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, subkey.c_str(), L"ucMacAddr", REG_BINARY,
                                adapter->mac.data(), static_cast<DWORD>(adapter->mac.size())),
              ERROR_SUCCESS);
  }
  const std::string recordB = adapter->name + "|192.0.2.11|255.255.255.0|192.0.2.1|192.0.2.53";
  // The next log lines start with `prefixes`, in this order (lines of other steps may come between).
  size_t read = 0;
  const auto logNext = [&](const Log& prefixes) {
    return WaitUntil([&] {
      const Log log = install_.LogMessages();
      size_t at = read, matched = 0;
      for (; at < log.size() && matched < prefixes.size(); ++at)
        if (StartsWith(log[at], prefixes[matched])) ++matched;
      if (matched < prefixes.size()) return false;
      read = at;
      return true;
    });
  };
  const auto lastRead = [&](size_t back = 1) { return install_.LogMessages().at(read - back); };

  auto tray = StartTray();
  ASSERT_TRUE(logNext({"START", "ID1"})) << tray->Trace();
  EXPECT_FALSE(AppliedStatic());

  // The adapter is the host's as this prefix shows it: the isolation check after a change to B may
  // find something on it that is not B's (the host's name server, multicast neighbour entries).
  // Then the change fails closed: B's settings go with their record, and the log and the tray tip
  // say whether the adapter was cleared (Wine releases no lease, so it says it was not). Otherwise
  // the record stays until DHCP is back. Returns whether the change to B failed closed.
  const auto afterChangeToB = [&] {
    const Log all = install_.LogMessages(InstallFolder::kIsolationLines);
    const auto change = std::find(all.rbegin(), all.rend(), "ID2");
    const bool failed = std::any_of(all.rbegin(), change,
                                    [](const std::string& m) { return StartsWith(m, "ISOLATION FAILED("); });
    if (!failed) {
      EXPECT_EQ(AppliedStatic(), recordB);
      EXPECT_TRUE(tray->WaitForTrace("Tray tip: INTER: address not set (fixed settings failed)"))
          << tray->Trace();
      return false;
    }
    EXPECT_TRUE(WaitUntil([&] {
      const Log now = install_.LogMessages(InstallFolder::kIsolationLines);
      return now.back() == "ADAPTER CLEARED" || now.back() == "FAIL ADAPTER NOT CLEARED";
    })) << tray->Trace();
    const bool cleared = install_.LogMessages(InstallFolder::kIsolationLines).back() == "ADAPTER CLEARED";
    EXPECT_TRUE(tray->WaitForTrace(std::string("Tray tip: INTER: adapter ") + (cleared ? "" : "not ") +
                                   "cleared (isolation check failed)"))
        << tray->Trace();
    EXPECT_FALSE(AppliedStatic()) << "B's settings went with their record";
    return true;
  };

  ::SendMessageW(frame_, kWmNvChange, 0, 0);  // to B
  ASSERT_TRUE(logNext({"ID2", "FAIL fixed settings not applied: "})) << tray->Trace();
  EXPECT_NE(lastRead().find("InitializeUnicastIpAddressEntry is not available on this system"),
            std::string::npos)
      << lastRead();
  afterChangeToB();

  ::SendMessageW(frame_, kWmNvChange, 0, 0);  // back to A: still running, and the record goes
  ASSERT_TRUE(logNext({"ID1"})) << tray->Trace();
  EXPECT_FALSE(AppliedStatic());

  // Killed while B's settings are recorded: the next start undoes them before its change to A.
  ::SendMessageW(frame_, kWmNvChange, 0, 0);
  ASSERT_TRUE(logNext({"ID2", "FAIL fixed settings not applied: "})) << tray->Trace();
  // A kill between setting B's settings and the check leaves the record: as here when the change
  // kept it, else it is put back as such a kill leaves it.
  if (afterChangeToB()) key_.Set(L"IPCfg", L"szAppliedStatic", nv::text::Widen(recordB));
  ASSERT_EQ(AppliedStatic(), recordB);
  tray.reset();
  tray = StartTray();
  ASSERT_TRUE(logNext({"START", "RECOVER fixed settings of an interrupted change taken off: 192.0.2.11/"}))
      << tray->Trace();
  EXPECT_EQ(lastRead(2), "START") << "the RECOVER line follows START at once";
  EXPECT_NE(lastRead().find(" on " + adapter->name), std::string::npos) << lastRead();
  ASSERT_TRUE(logNext({"ID1"})) << tray->Trace();
  EXPECT_FALSE(AppliedStatic());
  const std::string trace = tray->Trace();
  const size_t recovered = trace.find("FixedAddress: recovered:");
  ASSERT_NE(recovered, std::string::npos) << trace;
  EXPECT_LT(recovered, trace.find("ChangeIPbyDHCP Entry")) << "the record goes before the start-up change";
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();

  // A record left by hand that does not parse: traced, the adapter of the configuration reset.
  key_.Set(L"IPCfg", L"szAppliedStatic", L"left|by hand");
  tray = StartTray();
  ASSERT_TRUE(logNext({"START",
                       "RECOVER fixed settings of an interrupted change taken off: an unreadable record "
                       "(\"left|by hand\") on " +
                           adapter->name,
                       "ID1"}))
      << tray->Trace();
  EXPECT_EQ(lastRead(3), "START");
  EXPECT_TRUE(tray->TraceHas("the record szAppliedStatic does not parse: \"left|by hand\"")) << tray->Trace();
  EXPECT_FALSE(AppliedStatic());
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
  for (const std::string& line : install_.LogMessages(InstallFolder::kIsolationLines))
    std::printf("log: %s\n", line.c_str());
}

TEST_F(TrayProgramTest, ChangeFailsAtTheSwitchWithoutAControlPath) {
  struct Case {
    const char* what;
    uint32_t comport;
  };
  const Case cases[] = {
      {"Ethernet, adapter the packet driver cannot open", 0},
      {"no control path", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InstallFolder install;
    key_.WriteStandardSettings(install.path(), c.comport);
    TrayProcess tray(install);
    const HWND frame = WaitForFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(tray.WaitForTrace("Fail ChangeRG")) << tray.Trace();  // the start-up change to A
    ::SendMessageW(frame, kWmNvChange, 0, 0);
    EXPECT_EQ(tray.CountInTrace("Fail ChangeRG"), 2u) << tray.Trace();
    EXPECT_EQ(install.LogMessages(), (Log{"START"}));
    ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
    EXPECT_EQ(tray.Wait(), 0u);
    EXPECT_EQ(install.LogMessages(), (Log{"START", "SHUTDOWN"}));
  }
}

TEST_F(TrayProgramTest, ASilentChangeThatFailsAtTheSwitchLeavesTheTrayOnTheNetworkInForce) {
  key_.WriteStandardSettings(install_.path(), 5);  // no control path: every change fails
  key_.Set(L"", L"dwSilentChng", 1u);
  auto tray = StartTray();
  ASSERT_NE(frame_, nullptr);
  struct Request {
    const char* what;
    std::function<void()> send;
  };
  const HWND frame = frame_;
  const Request requests[] = {
      {"copy-data command 2", [frame] { SendCopyData(frame, 2); }},
      {"tray change", [frame] { ::SendMessageW(frame, WM_COMMAND, kCmdChange, 0); }},
  };
  for (const Request& request : requests) {
    SCOPED_TRACE(request.what);
    const size_t failures = tray->CountInTrace("Fail ChangeRG");
    request.send();
    ASSERT_EQ(tray->CountInTrace("Fail ChangeRG"), failures + 1) << tray->Trace();
    // Silent mode showed B before the switch; the machine stays on A and the tray says so last.
    const std::string trace = tray->Trace();
    const size_t shownB = trace.rfind("Tray(2) INTER");
    const size_t shownA = trace.rfind("Tray(1) INTRA");
    ASSERT_NE(shownB, std::string::npos) << trace;
    EXPECT_TRUE(shownA != std::string::npos && shownA > shownB) << trace;
  }
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u);
}

TEST_F(TrayProgramTest, MissingResourceLibraryIsReportedAndTheProgramEnds) {
  InstallFolder install(false);
  key_.WriteStandardSettings(install.path(), 5);
  TrayProcess tray(install);
  EXPECT_EQ(tray.Wait(), kExitNoResources);
  EXPECT_TRUE(tray.TraceHas("MessageBox(Netvane): Not found Netvane Resource File(NvRes.Dll)"))
      << tray.Trace();
  EXPECT_EQ(::FindWindowW(L"Netvane_CLASS", nullptr), nullptr);
  EXPECT_TRUE(install.LogMessages().empty());
}

TEST_F(TrayProgramTest, RunsWithoutInstallationFolderOrWithABrokenStringFile) {
  struct Case {
    const char* what;
    bool installedPath;
    std::string stringFile;
    Log log;
  };
  const std::string broken("\xff\xfe[[PopupINF\nstrMnChange\n=\n\0\0\x80\x81=\xc3\n[", 38);
  const Case cases[] = {
      {"no InstalledPath", false, "", {}},
      {"broken string file", true, broken, {"START", "SHUTDOWN"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    InstallFolder install;
    key_.WriteStandardSettings(install.path(), 5);
    if (!c.installedPath) key_.Remove(L"", L"InstalledPath");
    if (!c.stringFile.empty()) install.Write(L"NetvaneENG.ini", c.stringFile);
    TrayProcess tray(install);
    const HWND frame = WaitForFrame();
    ASSERT_NE(frame, nullptr) << tray.Trace();
    EXPECT_TRUE(tray.WaitForTrace("Tray icon added")) << tray.Trace();
    ASSERT_TRUE(tray.WaitForTrace("Start-up done"));
    ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
    EXPECT_EQ(tray.Wait(), 0u) << tray.Trace();
    EXPECT_EQ(install.LogMessages(), c.log);
  }
}

TEST_F(TrayProgramTest, UpdateStartsTheUpdateClientOnceWithFiveArguments) {
  install_.CopyFromBuild(L"fake_updagent.exe", L"UPDAGENT.EXE");
  auto tray = StartTray();
  ASSERT_NE(frame_, nullptr);
  const std::wstring calls = install_.File(L"updagent-calls.txt");
  auto callLines = [&] {
    std::vector<std::string> lines;
    HANDLE file = ::CreateFileW(calls.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    char buffer[4096];
    DWORD got = 0;
    ::ReadFile(file, buffer, sizeof buffer, &got, nullptr);
    ::CloseHandle(file);
    std::string text(buffer, got);
    for (size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1))
      lines.push_back(text.substr(0, at));
    return lines;
  };

  ::PostMessageW(frame_, WM_COMMAND, kCmdUpdate, 0);
  ASSERT_TRUE(WaitUntil([&] { return callLines().size() == 1; })) << tray->Trace();
  wchar_t program[MAX_PATH] = {};
  ::GetLongPathNameW(install_.File(L"Netvane.exe").c_str(), program, MAX_PATH);
  const std::string expected = "Tarn Netvane-H " + std::to_string(reinterpret_cast<uintptr_t>(frame_)) +
                               "l 5007 \"" + Narrow(program) + "\"";
  EXPECT_EQ(_stricmp(callLines()[0].c_str(), expected.c_str()), 0) << callLines()[0] << "\n" << expected;

  // A running update client is brought forward, not started again.
  ::PostMessageW(frame_, WM_COMMAND, kCmdUpdate, 0);
  ASSERT_TRUE(WaitUntil([&] { return tray->CountInTrace("OnTrayUpdate") == 2; }));
  ::Sleep(500);
  EXPECT_EQ(callLines().size(), 1u);

  if (HWND client = ::FindWindowW(L"FakeUpdateClient", nullptr)) ::PostMessageW(client, WM_CLOSE, 0, 0);
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u);
}

TEST_F(TrayProgramTest, ScheduleChangesNetworkAtTheNextBoundary) {
  NeedSwitch();
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  if (local.tm_hour == 0 && local.tm_min < 2)
    GTEST_SKIP() << "too close to midnight for a start a minute ago";
  // The schedule's first look comes a few seconds after this; the minute must not turn before.
  if (local.tm_sec > 45) {
    ::Sleep(static_cast<DWORD>(62 - local.tm_sec) * 1000);
    now = std::time(nullptr);
    localtime_s(&local, &now);
  }
  const int minutes = local.tm_hour * 60 + local.tm_min - 1;
  key_.Set(L"", L"AutoChangeOnOff", L"ON");
  key_.Set(L"", L"AutoChangeStartHour", std::to_wstring(minutes / 60));
  key_.Set(L"", L"AutoChangeStartMinute", std::to_wstring(minutes % 60));
  key_.Set(L"", L"AutoChangeInterval", L"1");
  key_.Set(L"", L"AutoChangeStartNetwork", L"INTRANET");

  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));
  // A minute and some seconds after the start: an odd number of intervals has passed, so A is
  // current and the boundary at the next full minute brings B.
  ASSERT_TRUE(tray->WaitForTrace("OnTimer(1001)", 75000)) << tray->Trace();
  EXPECT_TRUE(WaitForLog({"START", "ID1", "ID2"})) << tray->Trace();
}

TEST_F(TrayProgramTest, AfterEachChangeTheTipAndTheLogSayWhetherTheGatewayAnswers) {
  NeedSwitch();
  key_.Set(L"IPCfg\\info0", L"Gateway", 0x7F000001u);  // 127.0.0.1: answers
  key_.Set(L"IPCfg\\info1", L"dwFlags", 0u);           // B has its own gateway,
  key_.Set(L"IPCfg\\info1", L"Gateway", 0xC6336401u);  // 198.51.100.1, which nobody answers
  auto tray = StartTray();
  const auto gatewayLines = [&] { return install_.LogMessages(InstallFolder::kGatewayLines); };
  ASSERT_TRUE(WaitUntil([&] { return gatewayLines().size() == 3; }, 10000)) << tray->Trace();
  const Log atStart = gatewayLines();
  EXPECT_EQ(atStart[1], "ID1");
  // Loopback always answers where ICMP echo may be sent at all.
  if (atStart[2].find("answers") == std::string::npos) GTEST_SKIP() << atStart[2] << ": ICMP echo needs root";
  EXPECT_EQ(atStart[2].rfind("GW 127.0.0.1 answers (", 0), 0u) << atStart[2];
  EXPECT_TRUE(tray->WaitForTrace("Tray(1) INTRA in force")) << tray->Trace();

  ::SendMessageW(frame_, WM_COMMAND, kCmdChange, 0);
  // The check runs off the main thread: the frame answers while it waits for the gateway.
  DWORD_PTR result = 0;
  EXPECT_NE(::SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &result), 0);
  EXPECT_EQ(gatewayLines().size(), 4u);  // "ID2", its check still waiting
  ASSERT_TRUE(WaitUntil([&] { return gatewayLines().size() == 5; }, 3000 + 3000)) << tray->Trace();
  const Log afterChange = gatewayLines();
  EXPECT_EQ(Log(afterChange.begin(), afterChange.begin() + 4), (Log{"START", "ID1", atStart[2], "ID2"}));
  EXPECT_EQ(afterChange[4].rfind("GW 198.51.100.1 no answer (no answer within 3000 ms", 0), 0u)
      << afterChange[4];
  EXPECT_TRUE(tray->TraceHas("Tray(2) INTER - warning: gateway 198.51.100.1 does not answer"))
      << tray->Trace();
}

// The links of ours (they start the installation's change helper) on the all-users desktop, by
// file name in upper case.
std::vector<std::string> OurLinks(nv::core::IDesktopLinks& links, const std::string& folder,
                                  const std::string& target) {
  std::vector<std::string> all, found;
  links.ListLinks(folder, all);
  for (const auto& link : all) {
    std::string to;
    if (links.ReadTarget(link, to) && nv::text::EqualsNoCase(to, target))
      found.push_back(nv::text::ToUpperAscii(link.substr(folder.size() + 1)));
  }
  return found;
}

TEST_F(TrayProgramTest, TheDesktopShortcutFollowsTheNetworkInForce) {
  NeedSwitch();
  key_.Set(L"AdOpt", L"dwOpt", 0x05u);  // the network shortcut and the log
  const Desktop desktop = AllUsersDesktop();
  ASSERT_FALSE(desktop.folder.empty());
  nv::core::IDesktopLinks* const links = desktop.links.get();
  const std::string& folder = desktop.folder;
  const std::string target = nv::core::ShortcutTarget(Narrow(install_.path()));
  const std::string linkA = folder + "\\INTRA.lnk", linkB = folder + "\\INTER.LNK";
  const std::string other = folder + "\\Tray test other.lnk";
  const auto ours = [&] { return OurLinks(*links, folder, target); };
  for (const auto& p : {linkA, linkB, other}) ::DeleteFileW(nv::text::Widen(p).c_str());
  ASSERT_TRUE(links->Create(linkA, target));
  ASSERT_TRUE(links->Create(other, "C:\\windows\\notepad.exe"));

  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));
  EXPECT_EQ(ours(), std::vector<std::string>{"INTRA.LNK"});
  ::SendMessageW(frame_, WM_COMMAND, kCmdChange, 0);
  ASSERT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  EXPECT_EQ(ours(), std::vector<std::string>{"INTER.LNK"});

  // A second request for B changes nothing, the link included.
  WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
  ASSERT_TRUE(::GetFileAttributesExW(nv::text::Widen(linkB).c_str(), GetFileExInfoStandard, &before));
  SendCopyData(frame_, 2);
  ::Sleep(300);
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  ASSERT_TRUE(::GetFileAttributesExW(nv::text::Widen(linkB).c_str(), GetFileExInfoStandard, &after));
  EXPECT_EQ(::CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0);
  EXPECT_EQ(ours(), std::vector<std::string>{"INTER.LNK"});
  EXPECT_NE(::GetFileAttributesW(nv::text::Widen(other).c_str()), INVALID_FILE_ATTRIBUTES);

  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
  for (const auto& p : {linkA, linkB, other}) ::DeleteFileW(nv::text::Widen(p).c_str());
}

std::string FileBytes(const std::string& path) {
  const std::wstring wide = nv::text::Widen(path);
  if (::GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return "(missing)";
  return ReadShared(wide);
}

// Another program's "Outside.lnk" and a plain file "Inside.lnk" on the all-users desktop: changes
// A -> B -> A never touch them, and after each change one link of ours names the network in force.
TEST_F(TrayProgramTest, FilesOfOthersAtTheNetworksNamesAreNeverTouched) {
  NeedSwitch();
  key_.Set(L"AdOpt", L"dwOpt", 0x05u);  // the network shortcut and the log
  key_.Set(L"AdOpt", L"szNet0", L"Inside");
  key_.Set(L"AdOpt", L"szNet1", L"Outside");
  const Desktop desktop = AllUsersDesktop();
  ASSERT_FALSE(desktop.folder.empty());
  nv::core::IDesktopLinks* const links = desktop.links.get();
  const std::string& folder = desktop.folder;
  const std::string target = nv::core::ShortcutTarget(Narrow(install_.path()));
  const std::string outside = folder + "\\Outside.lnk", inside = folder + "\\Inside.lnk";
  const std::string oursA = folder + "\\Inside (Netvane).LNK", oursB = folder + "\\Outside (Netvane).LNK";
  for (const auto& p : {outside, inside, oursA, oursB}) ::DeleteFileW(nv::text::Widen(p).c_str());
  ASSERT_TRUE(links->Create(outside, "C:\\windows\\notepad.exe"));
  {
    HANDLE plain =
        ::CreateFileW(nv::text::Widen(inside).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(plain, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    ::WriteFile(plain, "a note, not a link\r\n", 20, &wrote, nullptr);
    ::CloseHandle(plain);
  }
  const std::string outsideBytes = FileBytes(outside), insideBytes = FileBytes(inside);

  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));
  const struct {
    Log log;
    const char* ours;
  } steps[] = {{{"START", "ID1"}, "INSIDE (NETVANE).LNK"},
               {{"START", "ID1", "ID2"}, "OUTSIDE (NETVANE).LNK"},
               {{"START", "ID1", "ID2", "ID1"}, "INSIDE (NETVANE).LNK"}};
  bool first = true;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.ours);
    if (!first) ::SendMessageW(frame_, WM_COMMAND, kCmdChange, 0);
    first = false;
    ASSERT_EQ(install_.LogMessages(), step.log) << tray->Trace();
    EXPECT_EQ(OurLinks(*links, folder, target), std::vector<std::string>{step.ours});
    EXPECT_EQ(FileBytes(outside), outsideBytes);
    EXPECT_EQ(FileBytes(inside), insideBytes);
  }
  EXPECT_TRUE(tray->TraceHas("Inside.LNK is not ours")) << "the trace says why the name was passed over";
  ::PostMessageW(frame_, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u) << tray->Trace();
  for (const auto& p : {outside, inside, oursA, oursB}) ::DeleteFileW(nv::text::Widen(p).c_str());
}

// Whatever the trigger, the tray tip, the desktop display window and the shortcut end on the
// network in force: a copy-data change, a silent change, and leaving the program on B.
TEST_F(TrayProgramTest, EveryKindOfChangeLeavesTrayDisplayAndShortcutOnTheNetworkInForce) {
  NeedSwitch();
  const Desktop desktop = AllUsersDesktop();
  ASSERT_FALSE(desktop.folder.empty());
  nv::core::IDesktopLinks* const links = desktop.links.get();
  const std::string& folder = desktop.folder;
  const auto clean = [&] {
    for (const auto& name : {"INTRA.LNK", "INTER.LNK"})
      ::DeleteFileW(nv::text::Widen(folder + "\\" + name).c_str());
  };
  const struct {
    const char* what;
    uint32_t silent;
    bool copyData;
  } kinds[] = {{"copy-data change, silent", 1, true},
               {"tray change, silent", 1, false},
               {"copy-data change", 0, true}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.what);
    clean();
    InstallFolder install;
    install.Write(L"LDNvChng.EXE", "");
    key_.WriteStandardSettings(install.path(), SwitchPort());
    key_.Set(L"AdOpt", L"dwOpt", 0x07u);  // shortcut, display window, log
    key_.Set(L"", L"dwSilentChng", kind.silent);
    const std::string ourTarget = nv::core::ShortcutTarget(Narrow(install.path()));
    TrayProcess tray(install);
    const HWND frame = WaitForFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return install.LogMessages() == Log{"START", "ID1"}; })) << tray.Trace();
    ASSERT_TRUE(tray.WaitForTrace("Start-up done"));
    EXPECT_EQ(OurLinks(*links, folder, ourTarget), std::vector<std::string>{"INTRA.LNK"});
    if (kind.copyData) {
      SendCopyData(frame, 2);
    } else {
      ::SendMessageW(frame, WM_COMMAND, kCmdChange, 0);
    }
    ASSERT_EQ(install.LogMessages(), (Log{"START", "ID1", "ID2"})) << tray.Trace();
    const std::string trace = tray.Trace();
    EXPECT_GT(trace.rfind("Tray(2) INTER"), trace.rfind("Tray(1) INTRA")) << trace;
    EXPECT_NE(::FindWindowW(L"Netvane_Display", L"INTER"), nullptr) << "the display window shows B";
    EXPECT_EQ(::FindWindowW(L"Netvane_Display", L"INTRA"), nullptr);
    EXPECT_EQ(OurLinks(*links, folder, ourTarget), std::vector<std::string>{"INTER.LNK"});
    // Leaving the program on B: the machine returns to A, and so do the tip and the shortcut.
    ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
    EXPECT_EQ(tray.Wait(), 0u) << tray.Trace();
    EXPECT_EQ(install.LogMessages(), (Log{"START", "ID1", "ID2", "ID1", "SHUTDOWN"}));
    const std::string last = tray.Trace();
    EXPECT_GT(last.rfind("Tray(1) INTRA"), last.rfind("Tray(2) INTER")) << last;
    EXPECT_EQ(OurLinks(*links, folder, ourTarget), std::vector<std::string>{"INTRA.LNK"});
  }
  clean();
}

}  // namespace
