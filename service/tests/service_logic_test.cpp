// The launcher service's decisions against fakes of the manager, the dispatcher and the sessions:
// command line, install and remove with their printed lines, the service object's states and
// controls, and whose token starts the tray program.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "corekit/nt_service.h"
#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "launcher_service.h"
#include "service_command.h"
#include "service_setup.h"

namespace nv::service {
namespace {

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

TEST(ServiceCommandTest, FirstArgumentPicksTheCommand) {
  const struct {
    const char* argument;
    ServiceCommand expected;
  } cases[] = {
      {nullptr, ServiceCommand::kNone}, {"", ServiceCommand::kNone},
      {"-i", ServiceCommand::kInstall}, {"-I", ServiceCommand::kInstall},
      {"-u", ServiceCommand::kRemove},  {"-U", ServiceCommand::kRemove},
      {"-NvMGR", ServiceCommand::kRun}, {"-nvmgr", ServiceCommand::kRun},
      {"NvMGR", ServiceCommand::kNone}, {"-install", ServiceCommand::kNone},
      {"/i", ServiceCommand::kNone},    {"-NvMGRx", ServiceCommand::kNone},
      {"-", ServiceCommand::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument ? c.argument : "(none)");
    EXPECT_EQ(ParseServiceCommand(c.argument, kServiceName), c.expected);
  }
}

// A manager that fails the step it is told to and remembers what it was asked.
class FakeManager : public corekit::ServiceControlApi {
 public:
  int32_t openManagerError = 0, openError = 0, createError = 0, startError = 0, deleteError = 0;
  int32_t accessError = 0;
  corekit::ServiceConfig created;
  std::string accessList;
  int starts = 0, stops = 0, deletes = 0, opened = 0, closed = 0;

  int32_t OpenManager(uint32_t, corekit::ServiceHandle& manager) override {
    if (openManagerError != 0) return openManagerError;
    manager = &m_manager;
    ++opened;
    return 0;
  }
  int32_t Create(corekit::ServiceHandle, const corekit::ServiceConfig& config,
                 corekit::ServiceHandle& service) override {
    if (createError != 0) return createError;
    created = config;
    service = &m_service;
    ++opened;
    return 0;
  }
  int32_t Open(corekit::ServiceHandle, const std::string&, uint32_t,
               corekit::ServiceHandle& service) override {
    if (openError != 0) return openError;
    service = &m_service;
    ++opened;
    return 0;
  }
  int32_t Start(corekit::ServiceHandle) override { return ++starts, startError; }
  int32_t Stop(corekit::ServiceHandle) override { return ++stops, 1062; }
  int32_t Delete(corekit::ServiceHandle) override { return ++deletes, deleteError; }
  void Close(corekit::ServiceHandle) override { ++closed; }
  int32_t SetAccessList(corekit::ServiceHandle service, const std::string& dacl) override {
    if (service != &m_service) return 6;
    if (accessError == 0) accessList = dacl;
    return accessError;
  }
  void ShowWaitCursor(bool) override {}

 private:
  int m_manager = 0, m_service = 0;
};

std::string EventKey(const std::string& name) { return std::string(kEventSourceRoot) + name; }

TEST(ServiceSetupTest, InstallAndRemovePrintTheirLinesAndCloseEveryHandle) {
  // A name of this process's own, so the event-source key under Wine is ours alone.
  const std::string name = corekit::testing::ProcessScratchName("NvSvcTest");
  const std::string module = "C:\\Program Files\\Netvane\\NvSVC.exe";
  struct Case {
    const char* what;
    bool install;
    int32_t FakeManager::*fail;
    int32_t error;
    bool ok;
    std::string message;
  };
  const Case cases[] = {
      {"install", true, nullptr, 0, true, name + " installed\n"},
      {"install again", true, nullptr, 0, true, name + " is already installed\n"},
      {"no manager", true, &FakeManager::openManagerError, 5, false, name + " failed to install. Error 5\n"},
      {"create refused", true, &FakeManager::createError, 1072, false,
       name + " failed to install. Error 1072\n"},
      {"access list refused", true, &FakeManager::accessError, 5, false,
       name + " failed to install. Error 5\n"},
      {"remove", false, nullptr, 0, true, name + " removed.\n"},
      {"not installed", false, &FakeManager::openError, 1060, false, name + " is not installed\n"},
      {"open refused", false, &FakeManager::openError, 5, false, "Could not remove " + name + ". Error 5\n"},
      {"delete refused", false, &FakeManager::deleteError, 1072, false,
       "Could not remove " + name + ". Error 1072\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeManager manager;
    // Only "install again" finds the service there already.
    if (c.install && std::string(c.what) != "install again") manager.openError = 1060;
    if (c.fail != nullptr) manager.*(c.fail) = c.error;
    const SetupResult result =
        c.install ? InstallService(manager, name, module) : RemoveService(manager, name);
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(manager.closed, manager.opened);

    CRegistry registry;
    ASSERT_TRUE(registry.Connect(corekit::kHKeyLocalMachine));
    const bool eventSource = registry.Open(EventKey(name).c_str(), CRegistry::permissionRead) != 0;
    if (std::string(c.what) == "install") {
      EXPECT_EQ(manager.created.path, "\"" + module + "\" -" + name);
      EXPECT_EQ(manager.created.type, 0x110u);
      EXPECT_EQ(manager.created.start, 2u);
      EXPECT_EQ(manager.created.dependencies, "TDI");
      EXPECT_EQ(manager.accessList, AccessListText(LauncherServiceAccess()));
      EXPECT_EQ(manager.starts, 1);
      ASSERT_TRUE(eventSource);
      std::string file;
      uint32_t types = 0;
      EXPECT_TRUE(registry.GetStringValue("EventMessageFile", file));
      EXPECT_EQ(file, module);
      EXPECT_TRUE(registry.GetDoubleWordValue("TypesSupported", types));
      EXPECT_EQ(types, 7u);
    }
    if (std::string(c.what) == "access list refused") {
      // A service left with the default list would take control codes from any user.
      EXPECT_EQ(manager.deletes, 1);
      EXPECT_EQ(manager.starts, 0);
    }
    if (std::string(c.what) == "remove") {
      EXPECT_EQ(manager.stops, 1);
      EXPECT_EQ(manager.deletes, 1);
      EXPECT_FALSE(eventSource);
    }
  }
}

// Sessions and tokens, each step able to fail; tokens are named so the test sees whose was used.
class FakeSessions : public SessionApi {
 public:
  struct Token : LaunchToken {
    explicit Token(std::string n) : name(std::move(n)) {}
    std::string name;
  };
  uint32_t console = 1;
  std::vector<SessionProcess> processes;
  bool userToken = true, processTokenOpens = true, lookupWorks = true, copyWorks = true, createWorks = true;
  PrivilegeResult privilege = PrivilegeResult::kEnabled;
  std::string usedToken, program, directory;
  uint32_t copySession = kNoSession;
  int privilegeCalls = 0;

  uint32_t ActiveConsoleSession() override { return console; }
  std::vector<SessionProcess> Processes() override { return processes; }
  std::unique_ptr<LaunchToken> UserToken(uint32_t session, uint32_t& error) override {
    if (!userToken) return error = 1008, nullptr;
    return std::make_unique<Token>("user" + std::to_string(session));
  }
  std::unique_ptr<LaunchToken> ProcessToken(uint32_t processId, uint32_t& error) override {
    if (!processTokenOpens) return error = 5, nullptr;
    return std::make_unique<Token>("process" + std::to_string(processId));
  }
  bool LookupDebugPrivilege(uint32_t& error) override { return lookupWorks || (error = 1313, false); }
  std::unique_ptr<LaunchToken> PrimaryCopy(const LaunchToken& token, uint32_t session,
                                           uint32_t& error) override {
    if (!copyWorks) return error = 1346, nullptr;
    copySession = session;
    return std::make_unique<Token>(static_cast<const Token&>(token).name + "-primary");
  }
  PrivilegeResult EnableDebugPrivilege(LaunchToken&, uint32_t& error) override {
    ++privilegeCalls;
    error = 6;
    return privilege;
  }
  bool CreateProgram(const LaunchToken& token, const std::string& p, const std::string& d,
                     StartedProgram& started, uint32_t& error) override {
    if (!createWorks) return error = 2, false;
    usedToken = static_cast<const Token&>(token).name;
    program = p;
    directory = d;
    started = {4242, 7};
    return true;
  }
};

// The dispatcher's side: statuses reported, last error, sleeps counted.
class FakeHost : public ServiceHost {
 public:
  bool registers = true;
  uint32_t lastError = 0;
  std::mutex lock;
  std::vector<ServiceStatusRecord> reported;

  bool RegisterControlHandler(const std::string&) override { return registers; }
  void ReportStatus(const ServiceStatusRecord& status) override {
    std::lock_guard<std::mutex> guard(lock);
    reported.push_back(status);
  }
  uint32_t LastError() override { return lastError; }
  void Sleep(uint32_t) override { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }
  std::vector<uint32_t> States() {
    std::lock_guard<std::mutex> guard(lock);
    std::vector<uint32_t> states;
    for (const auto& s : reported) states.push_back(s.currentState);
    return states;
  }
};

// Records which slot a control reached.
class RecordingService : public CNTServ {
 public:
  using CNTServ::CNTServ;
  bool initResult = true;
  std::string calls;
  bool OnInit() override { return initResult; }
  void OnStop() override { calls += "stop "; }
  void OnPause() override { calls += "pause "; }
  void OnContinue() override { calls += "continue "; }
  void OnInterrogate() override { calls += "interrogate "; }
  void OnShutdown() override { calls += "shutdown "; }
  bool OnUserControl(uint32_t code) override {
    calls += "user" + std::to_string(code) + " ";
    return code == 200;
  }
};

// What the manager would grant each account under the list's string form: the masks of the
// allowing entries naming it (the list has no denying entries).
uint32_t Granted(const std::string& text, const std::string& trustee) {
  EXPECT_EQ(text.rfind("D:", 0), 0u) << text;
  uint32_t granted = 0;
  for (size_t open = text.find('('); open != std::string::npos; open = text.find('(', open + 1)) {
    const std::string entry = text.substr(open + 1, text.find(')', open) - open - 1);
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
      const size_t semi = entry.find(';', start);
      parts.push_back(entry.substr(start, semi == std::string::npos ? semi : semi - start));
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
    EXPECT_EQ(parts.size(), 6u) << entry;
    EXPECT_EQ(parts[0], "A") << entry;
    if (parts.size() == 6 && parts[5] == trustee) granted |= std::stoul(parts[2], nullptr, 16);
  }
  return granted;
}

TEST(ServiceSetupTest, OnlySystemAndAdministratorsMayControlOrStartTheLauncher) {
  const std::string text = AccessListText(LauncherServiceAccess());
  // Interactive, authenticated, built-in users, everyone, anonymous, guests.
  for (const char* user : {"IU", "AU", "BU", "WD", "AN", "BG"}) {
    SCOPED_TRACE(user);
    const uint32_t granted = Granted(text, user);
    EXPECT_EQ(
        granted & (rights::kUserDefinedControl | rights::kStart | rights::kStop | rights::kPauseContinue |
                   rights::kChangeConfig | rights::kDelete | rights::kWriteDac | rights::kWriteOwner),
        0u);
  }
  EXPECT_EQ(Granted(text, "IU") & (rights::kQueryStatus | rights::kInterrogate),
            rights::kQueryStatus | rights::kInterrogate);
  EXPECT_EQ(Granted(text, "AU") & rights::kQueryStatus, rights::kQueryStatus);
  for (const char* admin : {"SY", "BA"}) EXPECT_EQ(Granted(text, admin), rights::kAll) << admin;
  EXPECT_EQ(text, "D:(A;;0xf01ff;;;SY)(A;;0xf01ff;;;BA)(A;;0x2008d;;;IU)(A;;0x2008d;;;AU)");
}

TEST(ServiceObjectTest, ControlsReachTheirSlotsAndTheStatusIsReportedAfterEach) {
  const struct {
    uint32_t code;
    const char* call;
    bool handled;
  } cases[] = {
      {1, "stop ", true},      {2, "pause ", true}, {3, "continue ", true}, {4, "interrogate ", true},
      {5, "shutdown ", true},  {6, "", false},      {127, "", false},       {128, "user128 ", false},
      {200, "user200 ", true}, {0, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    FakeHost host;
    RecordingService service("NvMGR", host);
    EXPECT_EQ(service.HandleControl(c.code), c.handled);
    EXPECT_EQ(service.calls, c.call);
    EXPECT_FALSE(host.reported.empty());
    if (c.code == 1) {
      EXPECT_EQ(host.States(), (std::vector<uint32_t>{kStateStopPending, kStateStopPending}));
    }
  }
  EXPECT_EQ(PollIntervalFor("NvMGR"), 1000u);
  EXPECT_EQ(PollIntervalFor("nvmgr"), 1000u);
  EXPECT_EQ(PollIntervalFor("Other"), 200u);
}

TEST(ServiceObjectTest, ServiceMainRunsUntilStoppedAndReportsEachState) {
  {
    SCOPED_TRACE("no handler: nothing reported");
    FakeHost host;
    host.registers = false;
    RecordingService service("NvMGR", host);
    service.ServiceMain();
    EXPECT_TRUE(host.States().empty());
  }
  {
    SCOPED_TRACE("initialisation fails: stopped with the last error");
    FakeHost host;
    host.lastError = 87;
    RecordingService service("NvMGR", host);
    service.initResult = false;
    service.ServiceMain();
    EXPECT_EQ(host.States(), (std::vector<uint32_t>{kStateStartPending, kStateStopped}));
    EXPECT_EQ(host.reported.back().win32ExitCode, 87u);
  }
  {
    SCOPED_TRACE("runs until the stop control");
    FakeHost host;
    host.lastError = 183;  // a stale error must not become the exit code of a clean run
    FakeSessions sessions;
    sessions.userToken = false;  // control 129 finds no token: handled, nothing started
    CLauncherService service("NvMGR", host, sessions, [](const std::string&) {});
    std::thread serviceThread([&] { service.ServiceMain(); });
    while (!service.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(service.HandleControl(130));
    EXPECT_TRUE(service.HandleControl(129));
    EXPECT_FALSE(service.HandleControl(131));
    EXPECT_TRUE(service.HandleControl(kControlStop));
    serviceThread.join();
    const std::vector<uint32_t> states = host.States();
    ASSERT_GE(states.size(), 4u);
    EXPECT_EQ(states[0], kStateStartPending);
    EXPECT_EQ(states[1], kStateRunning);
    EXPECT_EQ(states[states.size() - 2], kStateStopPending);
    EXPECT_EQ(states.back(), kStateStopped);
    EXPECT_EQ(host.reported.back().win32ExitCode, 0u);
    EXPECT_EQ(host.reported.back().controlsAccepted, 1u);
    EXPECT_EQ(host.reported.back().serviceType, 0x10u);
  }
}

TEST(TrayLaunchTest, TheLogonProcessTokenElseTheSessionUserStartsTheProgram) {
  const std::vector<SessionProcess> withLogon = {
      {10, 0, "winlogon.exe"}, {20, 1, "explorer.exe"}, {30, 1, "WINLOGON.EXE"}};
  const std::vector<SessionProcess> withoutLogon = {{10, 0, "winlogon.exe"}, {20, 1, "explorer.exe"}};
  struct Case {
    const char* what;
    std::vector<SessionProcess> processes;
    void (*setup)(FakeSessions&);
    const char* installed;  // InstalledPath; null when it cannot be read
    LaunchOutcome outcome;
    std::string token;  // whose primary copy started the program
    std::string console;
    int privilegeCalls;
  };
  const char* kPath = "C:\\Program Files\\Netvane";
  const Case cases[] = {
      {"logon process of the console session", withLogon, [](FakeSessions&) {}, kPath,
       LaunchOutcome::kStarted, "process30-primary", "", 1},
      {"no logon process (Wine)", withoutLogon, [](FakeSessions&) {}, kPath, LaunchOutcome::kStarted,
       "user1-primary", "", 0},
      {"logon token refused: the user's", withLogon, [](FakeSessions& s) { s.processTokenOpens = false; },
       kPath, LaunchOutcome::kStarted, "user1-primary", "Process token open Error: 5\n", 0},
      {"no token at all", withoutLogon, [](FakeSessions& s) { s.userToken = false; }, kPath,
       LaunchOutcome::kNoToken, "", "", 0},
      {"no InstalledPath", withLogon, [](FakeSessions&) {}, nullptr, LaunchOutcome::kNoInstalledPath, "", "",
       1},
      {"empty InstalledPath", withLogon, [](FakeSessions&) {}, "", LaunchOutcome::kNoInstalledPath, "", "",
       1},
      {"relative InstalledPath", withLogon, [](FakeSessions&) {}, "Netvane", LaunchOutcome::kNoInstalledPath,
       "", "", 1},
      {"privilege unknown", withLogon, [](FakeSessions& s) { s.lookupWorks = false; }, kPath,
       LaunchOutcome::kStarted, "process30-primary", "Lookup Privilege value Error: 1313\n", 0},
      {"privilege not held", withLogon, [](FakeSessions& s) { s.privilege = PrivilegeResult::kNotAssigned; },
       kPath, LaunchOutcome::kStarted, "process30-primary", "Token does not have the provilege\n", 1},
      {"privilege refused", withLogon, [](FakeSessions& s) { s.privilege = PrivilegeResult::kFailed; }, kPath,
       LaunchOutcome::kStarted, "process30-primary", "Adjust Privilege value Error: 6\n", 1},
      {"copy refused", withLogon, [](FakeSessions& s) { s.copyWorks = false; }, kPath,
       LaunchOutcome::kNoToken, "", "", 0},
      {"program missing", withLogon, [](FakeSessions& s) { s.createWorks = false; }, kPath,
       LaunchOutcome::kCreateFailed, "", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSessions sessions;
    sessions.processes = c.processes;
    c.setup(sessions);
    std::string console;
    StartedProgram started;
    const LaunchOutcome outcome = StartTrayProgram(
        sessions,
        [&](std::string& path) {
          if (c.installed == nullptr) return false;
          path = c.installed;
          return true;
        },
        [&](const std::string& line) { console += line; }, started);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(sessions.usedToken, c.token);
    EXPECT_EQ(console, c.console);
    EXPECT_EQ(sessions.privilegeCalls, c.privilegeCalls);
    if (outcome == LaunchOutcome::kStarted) {
      EXPECT_EQ(sessions.program, "C:\\Program Files\\Netvane\\Netvane.EXE");
      EXPECT_EQ(sessions.directory, "C:\\Program Files\\Netvane");
      EXPECT_EQ(sessions.copySession, 1u);
      EXPECT_EQ(started.processId, 4242u);
    }
  }
  EXPECT_EQ(ChooseTokenSource(true, true), TokenSource::kLogonProcess);
  EXPECT_EQ(ChooseTokenSource(false, true), TokenSource::kSessionUser);
  EXPECT_EQ(ChooseTokenSource(false, false), TokenSource::kNone);
}

}  // namespace
}  // namespace nv::service
