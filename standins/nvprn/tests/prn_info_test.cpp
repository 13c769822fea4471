#include "nvprn/prn_info.h"

#include <gtest/gtest.h>

#include <cstring>

#include "corekit/registry.h"
#include "corekit/testing/registry_sandbox.h"

namespace {

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

struct SpoolerState {
  std::vector<std::string> printers;
  std::vector<std::pair<std::string, int>> jobs;
  std::string defaultPrinter;
  int setDefaultCalls = 0;
};

class FakeSpooler final : public nvprn::Spooler {
 public:
  explicit FakeSpooler(SpoolerState& s) : s_(s) {}
  std::vector<std::string> PrinterNames() override { return s_.printers; }
  int PendingJobs(const std::string& printer) override {
    for (const auto& [name, n] : s_.jobs)
      if (name == printer) return n;
    return 0;
  }
  bool SetDefaultPrinter(const std::string& printer) override {
    ++s_.setDefaultCalls;
    s_.defaultPrinter = printer;
    return true;
  }
  std::string DefaultPrinter() override { return s_.defaultPrinter; }

 private:
  SpoolerState& s_;
};

struct PromptState {
  bool answer = true;
  std::vector<std::string> asked;
};

class FakePrompt final : public nvprn::Prompt {
 public:
  explicit FakePrompt(PromptState& s) : s_(s) {}
  bool AskYesNo(const std::string& text) override {
    s_.asked.push_back(text);
    return s_.answer;
  }

 private:
  PromptState& s_;
};

const std::string kProductKey =
    "SOFTWARE\\" + corekit::testing::ProcessScratchName("NvprnTest") + "\\Netvane-H";

// Names sort in creation order, so the table reads the same from Wine's registry (sorted by
// name) and from Windows' or the native store (creation order).
void WriteTable(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& values) {
  corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, kProductKey);
  CRegistry key;
  ASSERT_TRUE(key.Connect(corekit::kHKeyLocalMachine));
  ASSERT_TRUE(key.Create((kProductKey + "\\Printer").c_str()));
  for (const auto& [name, data] : values) ASSERT_TRUE(key.SetBinaryValue(name.c_str(), data));
}

class PrnInfoTest : public ::testing::Test {
 protected:
  void TearDown() override {
    corekit::testing::DeleteTree(corekit::kHKeyLocalMachine,
                                 "SOFTWARE\\" + corekit::testing::ProcessScratchName("NvprnTest"));
  }
  std::unique_ptr<CPrnInfo> Make() {
    auto info = std::make_unique<CPrnInfo>(std::make_unique<FakeSpooler>(spooler),
                                           std::make_unique<FakePrompt>(prompt));
    info->m_strChangeOper = "Documents wait.\nChange anyway?";
    return info;
  }
  SpoolerState spooler;
  PromptState prompt;
};

TEST_F(PrnInfoTest, BeforeChangeFollowsThePrinterTable) {
  struct Case {
    const char* what;
    uint32_t network;
    int sessionEnding;
    int phase;
    std::vector<std::pair<std::string, int>> jobs;
    bool answer;
    int expectedResult;
    int expectedQuestions;
    const char* expectedDefault;
  };
  const Case cases[] = {
      {"phase 0 to B: first B printer that exists", 1, 0, 0, {}, true, 1, 0, "3 Lab B"},
      {"phase 0 to A", 0, 0, 0, {}, true, 1, 0, "1 Office A"},
      {"phase 1 without waiting documents", 1, 0, 1, {{"3 Lab B", 4}}, false, 1, 0, "none"},
      {"phase 1, documents on a printer of A only, No", 1, 0, 1, {{"1 Office A", 2}}, false, 0, 1, "none"},
      {"phase 1, documents on a printer of A only, Yes", 1, 0, 1, {{"1 Office A", 2}}, true, 1, 1, "none"},
      {"phase 1, documents on a printer of both networks", 1, 0, 1, {{"4 Shared", 3}}, false, 1, 0, "none"},
      {"phase 1 while Windows ends the session", 1, 1, 1, {{"1 Office A", 2}}, false, 1, 0, "none"},
      {"phase 1 back to A, documents on B", 0, 0, 1, {{"3 Lab B", 1}}, false, 0, 1, "none"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteTable({{"1 Office A", {1, 0}}, {"2 Gone B", {0, 1}}, {"3 Lab B", {0, 1}}, {"4 Shared", {1, 1}}});
    spooler = SpoolerState{{"4 Shared", "3 Lab B", "1 Office A"}, c.jobs, "none", 0};
    prompt = PromptState{c.answer, {}};
    std::unique_ptr<CPrnInfo> made = Make();
    CPrnInfo& info = *made;
    EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), c.network, c.sessionEnding, c.phase), c.expectedResult);
    EXPECT_EQ(static_cast<int>(prompt.asked.size()), c.expectedQuestions);
    if (!prompt.asked.empty()) {
      EXPECT_EQ(prompt.asked[0].rfind(info.m_strChangeOper, 0), 0u) << prompt.asked[0];
      EXPECT_NE(prompt.asked[0].find(c.jobs[0].first), std::string::npos) << "names the printer";
    }
    EXPECT_EQ(spooler.defaultPrinter, c.expectedDefault);
  }
}

TEST_F(PrnInfoTest, SettingBackAfterAFailedSwitchAsksNothing) {
  WriteTable({{"1 Office A", {1, 0}}, {"3 Lab B", {0, 1}}});
  spooler = SpoolerState{{"1 Office A", "3 Lab B"}, {{"1 Office A", 1}, {"3 Lab B", 1}}, "", 0};
  prompt.answer = true;
  std::unique_ptr<CPrnInfo> made = Make();
  CPrnInfo& info = *made;
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 1, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 0, 0, 1), 1) << "switch failed: back to A";
  EXPECT_EQ(prompt.asked.size(), 1u);
  // The next change asks again.
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 1, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 1, 0, 0), 1);
  EXPECT_EQ(prompt.asked.size(), 2u);
  EXPECT_EQ(spooler.defaultPrinter, "3 Lab B");
}

TEST_F(PrnInfoTest, WithoutATableNothingIsAskedOrChanged) {
  corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, kProductKey);
  spooler = SpoolerState{{"P"}, {{"P", 5}}, "P", 0};
  std::unique_ptr<CPrnInfo> made = Make();
  CPrnInfo& info = *made;
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 1, 0, 1), 1);
  EXPECT_EQ(info.BeforeChange(kProductKey.c_str(), 1, 0, 0), 1);
  EXPECT_EQ(info.BeforeChange(nullptr, 1, 0, 1), 1);
  EXPECT_TRUE(prompt.asked.empty());
  EXPECT_EQ(spooler.setDefaultCalls, 0);
}

TEST_F(PrnInfoTest, GetPrnNameListFillsAtMostTwentyDescriptions) {
  for (int i = 0; i < 25; ++i) spooler.printers.push_back("Printer " + std::to_string(i));
  // 258 ASCII bytes then a 3-byte character: cut before it, never inside.
  spooler.printers[1] = std::string(258, 'x') + "\xE2\x82\xAC";
  spooler.printers[2] = "";
  std::unique_ptr<CPrnInfo> made = Make();
  CPrnInfo& info = *made;
  _PrnDesc list[CPrnInfo::kMaxPrinters + 1];
  std::memset(list, 0x55, sizeof list);
  int count = -1;
  EXPECT_EQ(info.GetPrnNameList("C:\\Netvane", list, &count), 20);
  EXPECT_EQ(count, 20);
  EXPECT_STREQ(list[0].szName, "Printer 0");
  EXPECT_EQ(std::string(list[1].szName), std::string(258, 'x'));
  EXPECT_STREQ(list[2].szName, "Printer 3") << "a printer without a name is skipped";
  EXPECT_STREQ(list[19].szName, "Printer 20");
  EXPECT_EQ(static_cast<unsigned char>(list[20].szName[0]), 0x55) << "nothing written past 20";

  spooler.printers.clear();
  count = -1;
  EXPECT_EQ(info.GetPrnNameList("", list, &count), 0);
  EXPECT_EQ(count, 0);
}

}  // namespace
