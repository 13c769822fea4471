#include "program_start.h"

#include <gtest/gtest.h>

#include <vector>

namespace nv::app {
namespace {

// Starts nothing; refuses as CreateProcess does when told to (error 2: no such program).
class FakeStarter final : public IProgramStarter {
 public:
  bool userTokenAvailable = false;
  bool refuse = false;
  std::vector<std::pair<StartToken, std::string>> started;
  bool ConsoleUserTokenAvailable() override { return userTokenAvailable; }
  bool Start(StartToken token, const std::string& commandLine, const std::string&, unsigned& error) override {
    if (refuse) {
      error = 2;
      return false;
    }
    started.emplace_back(token, commandLine);
    return true;
  }
};

TEST(ProgramStartTest, OnlyTheUpdateClientKeepsTheTrayProgramsToken) {
  EXPECT_EQ(TokenForStart(StartedProgram::kHelpViewer, true), StartToken::kConsoleUser);
  EXPECT_EQ(TokenForStart(StartedProgram::kHelpViewer, false), StartToken::kTrayToken);
  EXPECT_EQ(TokenForStart(StartedProgram::kUpdateClient, true), StartToken::kTrayToken);
  EXPECT_EQ(TokenForStart(StartedProgram::kUpdateClient, false), StartToken::kTrayToken);
}

TEST(ProgramStartTest, HelpViewerRunsAsTheConsoleUserWhenTheTrayRunsAsSystem) {
  const std::string help = "C:\\Program Files\\Tarn\\Netvane\\Netvane_Help.chm";
  const std::string command = "\"C:\\WINDOWS\\hh.exe\" \"" + help + "\"";
  FakeStarter service;  // started by NvSVC: the console user's token can be had
  service.userTokenAvailable = true;
  EXPECT_TRUE(StartHelpViewer(service, "C:\\WINDOWS", help));
  ASSERT_EQ(service.started.size(), 1u);
  EXPECT_EQ(service.started[0].first, StartToken::kConsoleUser);
  EXPECT_EQ(service.started[0].second, command);

  FakeStarter user;  // started by the user (Run entry): the token is the user's own already
  EXPECT_TRUE(StartHelpViewer(user, "C:\\WINDOWS", help));
  ASSERT_EQ(user.started.size(), 1u);
  EXPECT_EQ(user.started[0].first, StartToken::kTrayToken);

  FakeStarter missing;
  missing.userTokenAvailable = true;
  missing.refuse = true;
  EXPECT_FALSE(StartHelpViewer(missing, "C:\\WINDOWS", help));
  EXPECT_TRUE(missing.started.empty());
}

}  // namespace
}  // namespace nv::app
