#include "program_start.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

namespace nv::app {
namespace {

// Starts nothing.  Refuses as the system does: the console user's token cannot be had where this
// process may not ask for it (1314, a privilege not held), and a program that does not exist
// does not start (2).  What each start or call was, with its token, goes to `log`.
class FakeStarter final : public IProgramStarter {
 public:
  bool userTokenAvailable = false;
  bool refuse = false;
  RunResult answer;  // what a program that Run waits for hands back
  std::vector<std::string> log;

  bool ConsoleUserTokenAvailable() override { return userTokenAvailable; }
  bool Start(StartToken token, const std::string& commandLine, const std::string&, unsigned& error) override {
    if (Refused(token, error)) return false;
    log.push_back(std::string("start ") + TokenName(token) + ": " + commandLine);
    return true;
  }
  bool Run(StartToken token, const std::string& commandLine, const RunOptions& options, RunResult& result,
           unsigned& error) override {
    if (Refused(token, error)) return false;
    log.push_back(std::string("run ") + (options.hidden ? "hidden " : "") + TokenName(token) + ": " +
                  commandLine);
    result = answer;
    return true;
  }
  bool ActAs(StartToken token, const std::function<void()>& work, unsigned& error) override {
    if (token == StartToken::kConsoleUser && !userTokenAvailable) {
      error = 1314;
      return false;
    }
    log.push_back(std::string("act as ") + TokenName(token));
    work();
    return true;
  }

 private:
  bool Refused(StartToken token, unsigned& error) const {
    error = token == StartToken::kConsoleUser && !userTokenAvailable ? 1314 : refuse ? 2 : 0;
    return error != 0;
  }
};

// The connection calls themselves: each recorded, a cancel of a letter not connected answers 2250.
class FakeCalls final : public nv::core::INetConnections {
 public:
  explicit FakeCalls(std::vector<std::string>& log) : log_(log) {}
  int32_t Cancel(const std::string& drive) override {
    log_.push_back("cancel " + drive);
    return 2250;
  }
  bool CancelWithNetCommand(const std::string&) override {
    log_.push_back("net.exe of the calls: must not be used");
    return true;
  }
  // A mapping goes once; after that there is none (2).
  int32_t ForgetPersistent(const std::string& drive) override {
    log_.push_back("forget " + drive);
    return forgotten_.insert(drive).second ? 0 : 2;
  }
  int32_t Add(const std::string& drive, const std::string& remote, const std::string&,
              const std::string&) override {
    log_.push_back("add " + drive + " " + remote);
    return 0;
  }
  std::string ErrorText(int32_t code) override { return "text of " + std::to_string(code); }

 private:
  std::vector<std::string>& log_;
  std::set<std::string> forgotten_;
};

TEST(ProgramStartTest, OnlyTheUpdateClientKeepsTheTrayProgramsToken) {
  for (const StartedProgram program :
       {StartedProgram::kHelpViewer, StartedProgram::kUpdateClient, StartedProgram::kFolderPicker,
        StartedProgram::kNetCommand, StartedProgram::kDriveCalls}) {
    SCOPED_TRACE(static_cast<int>(program));
    const StartToken asSystem =
        program == StartedProgram::kUpdateClient ? StartToken::kTrayToken : StartToken::kConsoleUser;
    EXPECT_EQ(TokenForStart(program, true), asSystem);
    EXPECT_EQ(TokenForStart(program, false), StartToken::kTrayToken);
  }
}

// Each start the tray program makes for the user, with the tray started by the service (the
// console user's token can be had) and by the user (it cannot: the tray's token is the user's).
TEST(ProgramStartTest, EveryStartForTheUserRunsAsTheConsoleUserWhenTheTrayRunsAsSystem) {
  const std::string help = "C:\\Program Files\\Tarn\\Netvane\\Netvane_Help.chm";
  const std::string tray = "C:\\Program Files\\Tarn\\Netvane\\Netvane.exe";
  const std::string title = "Choose a \"folder\" \xED\x8F\xB4\xEB\x8D\x94\\";
  for (const bool bySystem : {true, false}) {
    SCOPED_TRACE(bySystem ? "started by the service" : "started by the user");
    const std::string as = bySystem ? "the console user's token" : "the tray program's token";
    FakeStarter starter;
    starter.userTokenAvailable = bySystem;
    starter.answer = {true, 0, "D:\\Data\\\xEC\x9E\x90\xEB\xA3\x8C\r\n"};
    std::vector<std::string> calls;
    auto connections =
        MakeTrayNetConnections(starter, std::make_unique<FakeCalls>(calls), "C:\\WINDOWS\\system32");

    EXPECT_TRUE(StartHelpViewer(starter, "C:\\WINDOWS", help));
    int inProcess = 0;
    const auto chosen = ChooseFolder(starter, tray, title, nullptr, [&](const std::string& t) {
      EXPECT_EQ(t, title);
      ++inProcess;
      return std::optional<std::string>("E:\\Own");
    });
    EXPECT_TRUE(connections->CancelWithNetCommand("F:"));
    EXPECT_EQ(connections->Cancel("G:"), 2250);
    EXPECT_EQ(connections->ForgetPersistent("G:"), 0);
    EXPECT_EQ(connections->ForgetPersistent("G:"), 2);
    EXPECT_EQ(connections->Add("G:", "\\\\NW\\sys", "anna", "secret"), 0);
    EXPECT_EQ(connections->ErrorText(5), "text of 5");

    std::vector<std::string> expected = {"start " + as + ": \"C:\\WINDOWS\\hh.exe\" \"" + help + "\""};
    if (bySystem) expected.push_back("run " + as + ": " + PickFolderCommandLine(tray, title));
    expected.push_back("run hidden " + as + ": \"C:\\WINDOWS\\system32\\net.exe\" use F: /delete");
    for (int i = 0; i < 4; ++i) expected.push_back("act as " + as);
    EXPECT_EQ(starter.log, expected);
    EXPECT_EQ(calls, (std::vector<std::string>{"cancel G:", "forget G:", "forget G:", "add G: \\\\NW\\sys"}));
    // As SYSTEM the picker is a process of the user's; else the tray's own dialog.
    EXPECT_EQ(inProcess, bySystem ? 0 : 1);
    EXPECT_EQ(chosen, bySystem ? "D:\\Data\\\xEC\x9E\x90\xEB\xA3\x8C" : "E:\\Own");
  }
}

TEST(ProgramStartTest, RefusedStartsAndCallsReportFailureAndAreNotDoneAsTheTray) {
  FakeStarter missing;
  missing.userTokenAvailable = true;
  missing.refuse = true;
  EXPECT_FALSE(StartHelpViewer(missing, "C:\\WINDOWS", "Netvane_Help.chm"));
  EXPECT_EQ(ChooseFolder(missing, "Netvane.exe", "t", nullptr,
                         [](const std::string&) {
                           ADD_FAILURE() << "the tray's own dialog instead";
                           return std::optional<std::string>("C:\\");
                         }),
            std::nullopt);
  std::vector<std::string> calls;
  EXPECT_FALSE(
      MakeTrayNetConnections(missing, std::make_unique<FakeCalls>(calls), "")->CancelWithNetCommand("F:"));
  EXPECT_TRUE(missing.log.empty());

  // The user logged off between the check and the call: the connection is not made as SYSTEM.
  class LoggedOff final : public IProgramStarter {
   public:
    bool ConsoleUserTokenAvailable() override { return true; }
    bool Start(StartToken, const std::string&, const std::string&, unsigned&) override { return false; }
    bool Run(StartToken, const std::string&, const RunOptions&, RunResult&, unsigned&) override {
      return false;
    }
    bool ActAs(StartToken, const std::function<void()>&, unsigned& error) override {
      error = 1008;  // no token
      return false;
    }
  } loggedOff;
  auto connections = MakeTrayNetConnections(loggedOff, std::make_unique<FakeCalls>(calls), "");
  EXPECT_EQ(connections->Add("G:", "\\\\NW\\sys", "anna", "secret"), 1008);
  EXPECT_EQ(connections->Cancel("G:"), 1008);
  EXPECT_EQ(connections->ForgetPersistent("G:"), 1008);
  EXPECT_TRUE(calls.empty());
}

TEST(ProgramStartTest, OnlyAWholeLineFromAPickerThatEndedWellIsAFolder) {
  const std::string folder = "C:\\Users\\\xEC\x9E\x90\xEB\xA3\x8C";
  const auto picker = [](bool ended, unsigned exitCode, std::string output) {
    RunResult result;
    result.ended = ended;
    result.exitCode = exitCode;
    result.output = std::move(output);
    return result;
  };
  const std::string none = "no folder";
  const std::vector<std::tuple<const char*, RunResult, std::string>> cases = {
      {"chosen", picker(true, 0, folder + "\n"), folder},
      {"chosen, CR LF", picker(true, 0, folder + "\r\n"), folder},
      {"cancelled", picker(true, 1, ""), none},
      {"crashed after a part", picker(true, 0xC0000005u, "C:\\Us"), none},
      {"ended by the wait's limit", picker(false, 1, folder + "\n"), none},
      {"cut short without its line end", picker(true, 0, folder), none},
      {"two lines", picker(true, 0, "C:\\A\nD:\\B\n"), none},
      {"empty line", picker(true, 0, "\n"), none},
      {"not UTF-8", picker(true, 0, "C:\\\xC0\xAF\n"), none},
      {"too long", picker(true, 0, std::string(RunResult::kMaxOutput, 'a') + "\n"), none},
  };
  for (const auto& [what, result, expected] : cases) {
    SCOPED_TRACE(what);
    EXPECT_EQ(FolderFromPicker(result).value_or(none), expected);
  }
}

TEST(ProgramStartTest, PickerTitleSurvivesTheCommandLineAndAMalformedSwitchIsRefused) {
  const std::string title = "\"Choose\" a folder \xED\x8F\xB4\xEB\x8D\x94 \\";
  const std::string line = PickFolderCommandLine("C:\\Netvane\\Netvane.exe", title);
  const std::string argument = line.substr(line.find(kPickFolderSwitch));
  EXPECT_EQ(argument.find_first_of(" \"\\"), std::string::npos) << argument;
  EXPECT_EQ(PickFolderTitle(argument), title);
  EXPECT_EQ(PickFolderTitle("/pickfolder=4142"), "AB");
  EXPECT_EQ(PickFolderTitle("/PICKFOLDER="), "");
  for (const char* bad : {"/PICKFOLDER=414", "/PICKFOLDER=4G", "/PICKFOLDER=C0AF", "/OTHER=4142", ""}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(PickFolderTitle(bad), std::nullopt);
  }
}

}  // namespace
}  // namespace nv::app
