// The Windows build against the real spooler (Wine's here): two printers are added for the
// test, the printer table marks one per network, and phase 0 of a change makes the new
// network's printer the default.  Pending documents cannot be observed under Wine (EnumJobs
// and cJobs stay 0), so the phase 1 question is covered with a fake spooler elsewhere.
#include <gtest/gtest.h>

#include <algorithm>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"
#include "nvprn/prn_info.h"
#include "nvprn/testing/test_printers.h"

namespace {

using nvprn::testing::RegisterTestDriver;
using nvprn::testing::TestPrinter;

class NoPrompt final : public nvprn::Prompt {
 public:
  bool AskYesNo(const std::string&) override { return false; }
};

TEST(SystemSpooler, PhaseZeroMakesTheNewNetworksPrinterTheDefault) {
  ASSERT_TRUE(RegisterTestDriver()) << ::GetLastError();
  const std::string scratch = corekit::testing::ProcessScratchName("NvprnSpool");
  const std::string nameA = scratch + " A";
  const std::string nameB = scratch + " B";
  TestPrinter printerA(nameA);
  TestPrinter printerB(nameB);
  ASSERT_TRUE(printerA.added()) << printerA.error();
  ASSERT_TRUE(printerB.added()) << printerB.error();

  const std::string productKey = "SOFTWARE\\" + scratch + "\\Netvane-H";
  {
    CRegistry key;
    ASSERT_TRUE(key.Connect(corekit::kHKeyLocalMachine));
    ASSERT_TRUE(key.Create((productKey + "\\Printer").c_str()));
    ASSERT_TRUE(key.SetBinaryValue(nameA.c_str(), {1, 0}));
    ASSERT_TRUE(key.SetBinaryValue(nameB.c_str(), {0, 1}));
  }

  CPrnInfo info(nvprn::MakeSystemSpooler(), std::make_unique<NoPrompt>());
  _PrnDesc list[CPrnInfo::kMaxPrinters];
  int count = 0;
  info.GetPrnNameList("", list, &count);
  std::vector<std::string> listed;
  for (int i = 0; i < count; ++i) listed.push_back(list[i].szName);
  EXPECT_NE(std::find(listed.begin(), listed.end(), nameB), listed.end());

  auto defaultPrinter = [] { return nvprn::MakeSystemSpooler()->DefaultPrinter(); };
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 1, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 1, 0, 0), 1);
  EXPECT_EQ(defaultPrinter(), nameB);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 0, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(productKey.c_str(), 0, 0, 0), 1);
  EXPECT_EQ(defaultPrinter(), nameA);

  corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, "SOFTWARE\\" + scratch);
}

}  // namespace
