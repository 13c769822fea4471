// The NetWare logon dialog (template 153 of NvRes.dll) and the real network-connection calls,
// under Wine: the dialog is driven from a second thread the way a person would fill it in.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "corekit/testing/registry_sandbox.h"
#include "netvane/cfginfo.h"
#include "netvane/drive_logon.h"
#include "netvane/drive_platform.h"
#include "nvres/nvres_ids.h"
#include "platform/text.h"
#include "platform/windows_api.h"

namespace {

HWND WaitForDialog(const wchar_t* caption) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < end) {
    if (HWND w = ::FindWindowW(nullptr, caption); w != nullptr && ::IsWindowVisible(w)) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

std::string Item(HWND dialog, int id) {
  wchar_t text[256] = {};
  ::GetDlgItemTextW(dialog, id, text, 256);
  return nv::text::Narrow(text);
}

class NetWareLogonDialog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { resources_ = ::LoadLibraryW(L"NvRes.dll"); }
  static void TearDownTestSuite() { ::FreeLibrary(resources_); }
  void SetUp() override { ASSERT_NE(resources_, nullptr) << "NvRes.dll not found beside the test"; }
  static HMODULE resources_;
};
HMODULE NetWareLogonDialog::resources_ = nullptr;

TEST_F(NetWareLogonDialog, ShowsTheCurrentNamesAndReturnsWhatWasTyped) {
  struct Case {
    const char* what;
    int button;
    bool expectedOk;
    std::string expected;  // user@server/password afterwards
  };
  const Case cases[] = {
      {"OK takes the three fields", IDOK, true, "carol@SRV2/secret"},
      {"Cancel keeps the names as they were", IDCANCEL, false, "alice@NWSRV/"},
  };
  auto ui = nv::core::MakeSystemNetWareLogonUi();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string prefilled;
    std::atomic<bool> found{false};
    std::thread person([&] {
      const HWND dialog = WaitForDialog(L"NetWare Logon");
      if (dialog == nullptr) return;
      found = true;
      prefilled = Item(dialog, IDC_LOGON_USER) + "@" + Item(dialog, IDC_LOGON_SERVER) + "/" +
                  Item(dialog, IDC_LOGON_PASSWORD);
      ::SetDlgItemTextW(dialog, IDC_LOGON_USER, L"carol");
      ::SetDlgItemTextW(dialog, IDC_LOGON_SERVER, L"SRV2");
      ::SetDlgItemTextW(dialog, IDC_LOGON_PASSWORD, L"secret");
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), 0);
    });
    nv::core::NetWareCredentials credentials{"alice", "NWSRV", "stale", false};
    const bool ok = ui->AskLogon(1, credentials);
    person.join();
    ASSERT_TRUE(found) << "no dialog appeared";
    EXPECT_EQ(prefilled, "alice@NWSRV/") << "the password is never shown";
    EXPECT_EQ(ok, c.expectedOk);
    EXPECT_EQ(credentials.user + "@" + credentials.server + "/" + (ok ? credentials.password : ""),
              c.expected);
  }
}

// Wine has no network provider, so every connection fails: what counts is that the real calls
// are made, their error comes back as the platform's text, and all failures make one report.
class RecordingUi : public nv::core::INetWareLogonUi {
 public:
  int asked = 0;
  std::vector<std::string> reports;
  bool AskLogon(int, nv::core::NetWareCredentials&) override {
    ++asked;
    return false;
  }
  void ShowDriveErrors(const std::string& report) override { reports.push_back(report); }
};

TEST(SystemNetConnections, RealCallsFailAsOneReportWithThePlatformsTexts) {
  auto connections = nv::core::MakeSystemNetConnections();
  const int32_t code = connections->Add("Y:", "\\\\NOSERVER\\sys", "bob", "pw");
  EXPECT_NE(code, 0);
  const std::string text = connections->ErrorText(code);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(connections->Cancel("Y:"), 0) << "nothing was connected";

  const std::string base = corekit::testing::ProcessScratchName("SOFTWARE\\NetvaneDrives") + "\\Netvane-H";
  ASSERT_TRUE(nv::core::SaveNetWareCredentials(base, 1, {"bob", "NOSERVER", "pw"}));
  CCfginfo cfg;
  cfg.SetKeys(base);
  cfg.szNetDrv[1] = "Y;Z";
  cfg.dwAutoLogin = 2;
  struct NoIdle : nv::core::IIdleMonitor {
    bool Start() noexcept override { return true; }
    void Stop() noexcept override {}
    void Reset() noexcept override {}
    uint32_t LastInputTime() noexcept override { return 0; }
    uint32_t Now() noexcept override { return 0; }
  } idle;
  RecordingUi ui;
  CDriveLogon drives(cfg, idle, *connections, ui, "");
  drives.ApplySettings(nullptr);
  drives.BeforeSwitch(1);
  drives.AfterSwitch(1);
  corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, base.substr(0, base.rfind('\\')));

  EXPECT_EQ(ui.asked, 0) << "stored credentials with auto-login";
  ASSERT_EQ(ui.reports.size(), 1u);
  EXPECT_EQ(ui.reports[0], "[Y: Drive] " + text + "\n[Z: Drive] " + text);
}

}  // namespace
