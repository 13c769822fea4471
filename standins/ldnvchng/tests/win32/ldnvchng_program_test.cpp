// LDNvChng.EXE under Wine against the real tray program: the tray program's test harness gives
// the installation folder, the product key and the running Netvane.exe; run through the tray
// tests' script, which gives it a switch box on a serial port (NV_TEST_COMPORT).
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tray_harness.h"

using namespace nv::app::testing;

namespace {

constexpr WPARAM kCmdExit = 5007;

uint32_t SwitchPort() {
  wchar_t value[8] = {};
  return ::GetEnvironmentVariableW(L"NV_TEST_COMPORT", value, 8) > 0 ? static_cast<uint32_t>(_wtoi(value))
                                                                     : 0;
}

std::string ReadFileText(const std::wstring& path) {
  const std::string text = ReadShared(path);
  // The program writes Windows text lines; compare them as lines.
  std::string lines;
  for (char c : text)
    if (c != '\r') lines += c;
  return lines;
}

struct HelperRun {
  DWORD exitCode = 0xFFFFFFFF;
  std::string out;
  std::string err;
};

// Runs LDNvChng.EXE from the installation folder as a script would, output into files.
HelperRun RunHelper(const InstallFolder& install, const std::wstring& arguments) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // Files of each run's own: Wine may close an ended child's copies of the handles a moment late.
  static int counter = 0;
  const std::wstring run_id = std::to_wstring(++counter);
  const std::wstring outPath = install.File(L"helper-out-" + run_id + L".txt");
  const std::wstring errPath = install.File(L"helper-err-" + run_id + L".txt");
  HANDLE out =
      ::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE err =
      ::CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring commandLine = L"\"" + install.File(L"LDNvChng.EXE") + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  PROCESS_INFORMATION process{};
  HelperRun run;
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) return run;
  if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       install.path().c_str(), &startup, &process)) {
    if (::WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(process.hProcess, &run.exitCode);
    else
      ::TerminateProcess(process.hProcess, 99);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  }
  ::CloseHandle(out);
  ::CloseHandle(err);
  run.out = ReadFileText(outPath);
  run.err = ReadFileText(errPath);
  return run;
}

using Log = std::vector<std::string>;

class ChangeHelperProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_.WriteStandardSettings(install_.path(), SwitchPort() != 0 ? SwitchPort() : 5);
    install_.CopyFromBuild(L"LDNvChng.EXE", L"LDNvChng.EXE");
    // Whatever tray program this run starts turns its message boxes into trace lines.
    ::SetEnvironmentVariableW(L"NV_NO_MESSAGEBOX", L"1");
  }

  // A tray program this test started through the helper (not a TrayProcess) must not outlive it.
  void TearDown() override {
    const HWND frame = ::FindWindowW(L"Netvane_CLASS", nullptr);
    if (frame == nullptr) return;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(frame, &processId);
    ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
    if (WaitUntil([] { return ::FindWindowW(L"Netvane_CLASS", nullptr) == nullptr; }, 10000)) return;
    if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId)) {
      ::TerminateProcess(process, 99);
      ::WaitForSingleObject(process, 5000);
      ::CloseHandle(process);
    }
  }

  bool WaitForLog(const Log& expected, int limitMs = 20000) {
    return WaitUntil([&] { return install_.LogMessages() == expected; }, limitMs);
  }

  // The frame of `tray` once its start-up change to A is logged; null when it did not get there
  // (the test has failed then).
  HWND WaitForStartOnA(const TrayProcess& tray) {
    const HWND frame = WaitForFrame();
    if (frame == nullptr || !tray.WaitForTrace("Start-up done") || !WaitForLog({"START", "ID1"})) {
      ADD_FAILURE() << "the tray program did not start on A: " << tray.Trace();
      return nullptr;
    }
    return frame;
  }

  InstallFolder install_;
  ProductKey key_;
};

TEST_F(ChangeHelperProgramTest, WithoutATrayProgramOrWithABadCommandLine) {
  ASSERT_EQ(::FindWindowW(L"Netvane_CLASS", nullptr), nullptr);
  const struct {
    const wchar_t* arguments;
    DWORD exitCode;
    const char* err;
    const char* out;
  } cases[] = {
      {L"status", 2, "No Netvane tray program is running.\n", ""},
      {L"B", 2, "No Netvane tray program is running.\n", ""},
      {L"C", 1, "Unknown argument \"C\".\nUsage: LDNvChng [A | B | status | --help]", ""},
      {L"A B", 1, "Too many arguments.\n", ""},
      {L"--help", 0, "", "Usage: LDNvChng [A | B | status | --help]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.arguments));
    const HelperRun run = RunHelper(install_, c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.err.substr(0, std::string(c.err).size()), c.err) << run.err;
    EXPECT_EQ(run.out.substr(0, std::string(c.out).size()), c.out) << run.out;
  }
  EXPECT_TRUE(install_.LogMessages().empty());
}

TEST_F(ChangeHelperProgramTest, NoArgumentStartsTheInstalledTrayProgram) {
  const HelperRun run = RunHelper(install_, L"");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "Netvane was not running and has been started; it starts on network A.\n");
  const HWND frame = WaitForFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return !install_.LogMessages().empty(); }));
  EXPECT_EQ(install_.LogMessages().front(), "START");
  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_TRUE(WaitUntil([] { return ::FindWindowW(L"Netvane_CLASS", nullptr) == nullptr; }));
  EXPECT_TRUE(WaitUntil([&] { return install_.LogMessages().back() == "SHUTDOWN"; }));
}

TEST_F(ChangeHelperProgramTest, StatusAndChangesThroughTheRunningTrayProgram) {
  if (SwitchPort() == 0) GTEST_SKIP() << "no serial switch box: run through run_tray_tests.sh";
  TrayProcess tray(install_);
  const HWND frame = WaitForStartOnA(tray);
  ASSERT_NE(frame, nullptr);

  const struct {
    const wchar_t* arguments;
    DWORD exitCode;
    const char* out;
    Log log;
  } steps[] = {
      {L"status", 0, "Network A in force (INTRA).\n", {"START", "ID1"}},
      {L"B", 0, "Network B in force (INTER).\n", {"START", "ID1", "ID2"}},
      {L"status", 0, "Network B in force (INTER).\n", {"START", "ID1", "ID2"}},
      {L"b", 0, "Network B in force (INTER) already.\n", {"START", "ID1", "ID2"}},
      {L"", 0, "Network A in force (INTRA).\n", {"START", "ID1", "ID2", "ID1"}},
      {L"B", 0, "Network B in force (INTER).\n", {"START", "ID1", "ID2", "ID1", "ID2"}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(Narrow(s.arguments));
    const HelperRun run = RunHelper(install_, s.arguments);
    EXPECT_EQ(run.exitCode, s.exitCode) << run.err;
    EXPECT_EQ(run.out, s.out);
    EXPECT_EQ(install_.LogMessages(), s.log);
  }

  // Requests from other programs switched off: refused, and nothing changes.
  key_.Set(L"", L"UseDll", 0u);
  const HelperRun refused = RunHelper(install_, L"A");
  EXPECT_EQ(refused.exitCode, 3u);
  EXPECT_EQ(refused.err,
            "Refused: the Netvane tray program takes no requests from other programs (UseDll is 0).\n");
  key_.Set(L"", L"UseDll", 1u);

  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray.Wait(), 0u);
}

// "LDNvChng A" sent while the tray program runs a change of its own (a schedule's, here one
// asked by window message and held at its log line): the tray program refuses copy-data
// meanwhile; the helper waits, asks again, and reports the network after that change, never the
// one in force before it.
TEST_F(ChangeHelperProgramTest, ARequestDuringAChangeWaitsAndReportsTheNetworkAfterIt) {
  if (SwitchPort() == 0) GTEST_SKIP() << "no serial switch box: run through run_tray_tests.sh";
  TrayProcess tray(install_);
  const HWND frame = WaitForStartOnA(tray);
  ASSERT_NE(frame, nullptr);
  // The start-up change's gateway line comes a moment after its "ID1".
  WaitUntil([&] { return install_.LogMessages(InstallFolder::kGatewayLines).size() >= 3; });

  HANDLE logLock = ::CreateMutexW(nullptr, TRUE, L"NETVANE_LOG_MUTEX");
  ASSERT_NE(logLock, nullptr);
  ::PostMessageW(frame, WM_USER + 100, 0, 0);  // the change to B, held at its "ID2"
  ASSERT_TRUE(tray.WaitForTrace("Change IPconfig(1)")) << tray.Trace();
  HelperRun run;
  std::thread helper([&] { run = RunHelper(install_, L"A"); });
  // The helper's requests are refused while the change is held.
  WaitUntil([&] { return tray.TraceHas("Receive onCopyData: refused, a change runs"); }, 5000);
  ::ReleaseMutex(logLock);
  ::CloseHandle(logLock);
  helper.join();

  EXPECT_TRUE(tray.TraceHas("Receive onCopyData: refused, a change runs")) << tray.Trace();
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(run.out, "Network A in force (INTRA).\n");
  EXPECT_EQ(install_.LogMessages(), (Log{"START", "ID1", "ID2", "ID1"}));
  ::PostMessageW(frame, WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(tray.Wait(), 0u);
}

}  // namespace
