// Netvane.exe under Wine: start-up and tray icon, the second start, window and copy-data
// requests, exit, switch failures, a broken installation.  The run script gives the program a
// switch box on a serial port (a pseudo-terminal whose line changes a shim records) and says
// which port in NV_TEST_COMPORT; tests that need a change to go through skip without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <thread>

#include "tray_harness.h"
// shellapi.h after the windows.h types (tray_harness.h).
#include <shellapi.h>

using namespace nv::app::testing;

namespace {

constexpr UINT kWmNvChange = WM_USER + 100;
constexpr WPARAM kCmdUpdate = 5002;
constexpr WPARAM kCmdChange = 5003;
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

  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray->Wait(), 0u);
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
  EXPECT_EQ(install_.LogMessages(true), (Log{"START", "ID1", unchecked, "ID2", unchecked}));

  // One audit record per change; without the launcher service's event source they go to the file.
  if (EventSourceRegistered())
    GTEST_SKIP() << "the NvMGR event source exists in this prefix: records go there";
  ASSERT_TRUE(WaitUntil([&] { return install_.AuditRecords().size() == 2; }))
      << install_.AuditRecords().size();
  const auto records = install_.AuditRecords();
  const auto has = [](const std::string& record, const std::string& part) {
    return record.find(part) != std::string::npos;
  };
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

// A tray change to network B, stopped at its log line "ID2": the program waits for the log's
// mutex, which this object holds until Release, so requests meet a busy frame meanwhile.
class ChangeHeldAtItsLogLine {
 public:
  ChangeHeldAtItsLogLine(const TrayProcess& tray, HWND frame)
      : m_mutex(::CreateMutexW(nullptr, TRUE, L"NETVANE_LOG_MUTEX")) {
    ::PostMessageW(frame, kWmNvChange, 0, 0);
    m_holding = m_mutex != nullptr && tray.WaitForTrace("Change IPconfig(1)");
  }
  ~ChangeHeldAtItsLogLine() { Release(); }
  ChangeHeldAtItsLogLine(const ChangeHeldAtItsLogLine&) = delete;
  ChangeHeldAtItsLogLine& operator=(const ChangeHeldAtItsLogLine&) = delete;

  bool holding() const { return m_holding; }
  void Release() {
    if (m_mutex == nullptr) return;
    ::ReleaseMutex(m_mutex);
    ::CloseHandle(m_mutex);
    m_mutex = nullptr;
  }

 private:
  HANDLE m_mutex;
  bool m_holding = false;
};

TEST_F(TrayProgramTest, SecondStartWhileAChangeRunsIsDropped) {
  NeedSwitch();
  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));

  ChangeHeldAtItsLogLine held(*tray, frame_);
  ASSERT_TRUE(held.holding()) << tray->Trace();

  TrayProcess second(install_);
  ASSERT_TRUE(second.WaitForTrace("Second start: asking the running instance to change network"));
  EXPECT_FALSE(second.Wait(500).has_value()) << "the second start must wait for the busy instance";
  held.Release();

  EXPECT_EQ(second.Wait(), kExitSecondInstance);
  ASSERT_TRUE(tray->WaitForTrace("OnTrayChange End"));
  ::Sleep(1000);  // a change that was not dropped would show by now
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2"}));
  EXPECT_EQ(tray->CountInTrace("OnTrayChange"), 2u) << tray->Trace();
  EXPECT_EQ(tray->CountInTrace("OnTrayChange End"), 1u);
}

TEST_F(TrayProgramTest, CopyDataDuringAChangeIsDropped) {
  NeedSwitch();
  auto tray = StartTray();
  ASSERT_TRUE(WaitForLog({"START", "ID1"}));

  ChangeHeldAtItsLogLine held(*tray, frame_);
  ASSERT_TRUE(held.holding()) << tray->Trace();
  const HWND frame = frame_;
  std::thread backToA([frame] { SendCopyData(frame, 1); });
  ::Sleep(500);  // the request waits in the frame's queue of sent messages
  held.Release();
  backToA.join();

  ASSERT_TRUE(tray->WaitForTrace("OnTrayChange End"));
  EXPECT_TRUE(tray->TraceHas("OnDllChange dropped: a change runs")) << tray->Trace();
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

}  // namespace
