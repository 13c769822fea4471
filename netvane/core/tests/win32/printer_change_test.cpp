// A change from network A to B and back under Wine with the real spooler: the drive step's
// printer helper makes the printer the table gives the new network the default printer.
#include <gtest/gtest.h>

#include "corekit/testing/registry_sandbox.h"
#include "netvane/change_sequence.h"
#include "netvane/drive_logon.h"
#include "nvprn/prn_info.h"
#include "nvprn/testing/test_printers.h"
#include "support/config_test_support.h"
#include "support/null_drive_platform.h"
#include "support/recording_steps.h"

namespace {

using nv::core::testing::NoConnections;
using nv::core::testing::NoIdle;
using nv::core::testing::NoLogonUi;

// Wine's spooler never reports waiting documents; a question would block the test.
class FailingPrompt : public nvprn::Prompt {
 public:
  bool AskYesNo(const std::string& text) override {
    ADD_FAILURE() << "asked: " << text;
    return true;
  }
};

class Steps : public nv::core::testing::RecordingSteps {
 public:
  explicit Steps(nv::core::IPrinterStep& printers) : printers_(printers) {}
  nv::core::ChangeSteps Get() { return {*this, printers_, *this, *this, *this, *this}; }

 private:
  nv::core::IPrinterStep& printers_;
};

TEST(PrinterChange, TheNewNetworksPrinterBecomesTheDefault) {
  ASSERT_TRUE(nvprn::testing::RegisterTestDriver()) << ::GetLastError();
  const std::string scratch = corekit::testing::ProcessScratchName("NvPrinterChange");
  const std::string nameA = scratch + " office";
  const std::string nameB = scratch + " lab";
  nvprn::testing::TestPrinter printerA(nameA);
  nvprn::testing::TestPrinter printerB(nameB);
  ASSERT_TRUE(printerA.added()) << printerA.error();
  ASSERT_TRUE(printerB.added()) << printerB.error();

  CCfginfo cfg;
  cfg.baseKey = cfgtest::ScratchBaseKey();
  cfg.dwIPnum = 2;
  {
    CRegistry table;
    ASSERT_TRUE(cfgtest::OpenOrCreate(table, cfg.baseKey + "\\Printer"));
    ASSERT_TRUE(table.SetBinaryValue(nameA.c_str(), {1, 0}));
    ASSERT_TRUE(table.SetBinaryValue(nameB.c_str(), {0, 1}));
  }
  NoIdle idle;
  NoConnections connections;
  NoLogonUi ui;
  CDriveLogon drives(cfg, idle, connections, ui, "");
  drives.SetPrinterHelper(
      std::make_unique<CPrnInfo>(nvprn::MakeSystemSpooler(), std::make_unique<FailingPrompt>()));
  const auto defaultPrinter = [] { return nvprn::MakeSystemSpooler()->DefaultPrinter(); };

  struct Change {
    int from;
    int to;
    const std::string& expected;
  };
  for (const Change& c : {Change{0, 1, nameB}, Change{1, 0, nameA}}) {
    SCOPED_TRACE(c.to);
    Steps steps(drives);
    nv::core::ChangeState state;
    state.previous = c.from;
    state.current = c.to;
    state.busy = 1;
    nv::core::doChange(1, state, cfg, steps.Get());
    EXPECT_EQ(state.current, c.to);
    EXPECT_EQ(defaultPrinter(), c.expected);
  }
  cfgtest::DeleteScratchTree();
}

}  // namespace
