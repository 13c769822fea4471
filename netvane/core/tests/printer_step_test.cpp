// The printer step as the change sequence runs it: CDriveLogon hands CPrnInfo the product key,
// the network, the session-ending flag and the phase; a refusal keeps the machine where it was.
#include <gtest/gtest.h>

#include "netvane/change_sequence.h"
#include "netvane/drive_logon.h"
#include "netvane/message_line_breaks.h"
#include "nvprn/prn_info.h"
#include "support/config_test_support.h"
#include "support/null_drive_platform.h"
#include "support/recording_steps.h"

namespace {

using nv::core::testing::RecordingSteps;

using nv::core::testing::NoConnections;
using nv::core::testing::NoIdle;
using nv::core::testing::NoLogonUi;

// One printer per network; documents wait on network A's printer.
class Spooler : public nvprn::Spooler {
 public:
  explicit Spooler(std::string& defaultPrinter) : default_(defaultPrinter) {}
  std::vector<std::string> PrinterNames() override { return {"Office", "Lab"}; }
  int PendingJobs(const std::string& printer) override { return printer == "Office" ? 3 : 0; }
  bool SetDefaultPrinter(const std::string& printer) override {
    default_ = printer;
    return true;
  }
  std::string DefaultPrinter() override { return default_; }

 private:
  std::string& default_;
};

class Prompt : public nvprn::Prompt {
 public:
  Prompt(bool answer, std::vector<std::string>& asked) : answer_(answer), asked_(asked) {}
  bool AskYesNo(const std::string& text) override {
    asked_.push_back(text);
    return answer_;
  }

 private:
  bool answer_;
  std::vector<std::string>& asked_;
};

class ChangeSteps : public RecordingSteps {
 public:
  explicit ChangeSteps(nv::core::IPrinterStep& printers) : printers_(printers) {}
  nv::core::ChangeSteps Steps() { return {*this, printers_, *this, *this, *this, *this}; }

 private:
  nv::core::IPrinterStep& printers_;
};

TEST(PrinterStep, RefusalKeepsTheMachineOnItsNetworkAndYesMovesTheDefaultPrinter) {
  CCfginfo cfg;
  cfg.baseKey = cfgtest::ScratchBaseKey();
  cfg.dwIPnum = 2;
  {
    CRegistry table;
    ASSERT_TRUE(cfgtest::OpenOrCreate(table, cfg.baseKey + "\\Printer"));
    ASSERT_TRUE(table.SetBinaryValue("Lab", {0, 1}));
    ASSERT_TRUE(table.SetBinaryValue("Office", {1, 0}));
  }
  for (const bool answer : {false, true}) {
    SCOPED_TRACE(answer ? "Yes" : "No");
    NoIdle idle;
    NoConnections connections;
    NoLogonUi ui;
    CDriveLogon drives(cfg, idle, connections, ui, "");
    std::string defaultPrinter = "Office";
    std::vector<std::string> asked;
    drives.SetPrinterHelper(std::make_unique<CPrnInfo>(std::make_unique<Spooler>(defaultPrinter),
                                                       std::make_unique<Prompt>(answer, asked)));
    drives.printerHelper()->m_strChangeOper = nv::core::MessageLineBreaks("Documents wait.\\nChange anyway?");

    ChangeSteps steps(drives);
    nv::core::ChangeState state;
    state.previous = 0;
    state.current = 1;
    state.busy = 1;
    nv::core::doChange(1, state, cfg, steps.Steps());

    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Documents wait.\nChange anyway?", 0), 0u) << asked[0];
    const bool switched =
        std::find(steps.calls.begin(), steps.calls.end(), "switch.ChangeRG 1 wait 1") != steps.calls.end();
    EXPECT_EQ(switched, answer);
    EXPECT_EQ(state.current, answer ? 1 : 0);
    EXPECT_EQ(defaultPrinter, answer ? "Lab" : "Office");
  }
  cfgtest::DeleteScratchTree();
}

TEST(PrinterStep, SequenceHandsTheProductKeyAndTheSessionFlag) {
  CCfginfo cfg;
  cfg.baseKey = "SOFTWARE\\Tarn\\Netvane-H";
  for (const int ending : {0, 1}) {
    RecordingSteps rec;
    nv::core::ChangeState state;
    state.current = 1;
    state.sessionEnding = ending;
    nv::core::doChange(0, state, cfg, rec.Steps());
    EXPECT_EQ(rec.printerKey, cfg.baseKey);
    EXPECT_EQ(rec.printerSessionEnding, ending);
  }
}

TEST(PrinterStep, MessageLineBreaks) {
  EXPECT_EQ(nv::core::MessageLineBreaks("a\\nb\\n"), "a\nb\n");
  EXPECT_EQ(nv::core::MessageLineBreaks("\\\\n"), "\\\n");
  EXPECT_EQ(nv::core::MessageLineBreaks("a\\"), "a\\");
  EXPECT_EQ(nv::core::MessageLineBreaks(""), "");
}

// The restart question's text and other boxes of the dialogs go through the same rule.
TEST(MessageLineBreaks, BackslashNPairsBecomeLineBreaks) {
  EXPECT_EQ(nv::core::MessageLineBreaks("Windows must restart.\\nRestart now?"),
            "Windows must restart.\nRestart now?");
  EXPECT_EQ(nv::core::MessageLineBreaks("a\\\\nb\\"), "a\\\nb\\");
  EXPECT_EQ(nv::core::MessageLineBreaks("C:\\net\\x"), "C:\net\\x");
}

}  // namespace
