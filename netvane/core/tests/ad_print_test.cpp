#include "netvane/ad_print.h"

#include <gtest/gtest.h>

#include "corekit/testing/scripted_registry_api.h"
#include "nvprn/prn_info.h"
#include "support/config_test_support.h"

namespace {

constexpr const char* kV = CAdPrint::kMarked;
constexpr const char* kO = CAdPrint::kUnmarked;

class ListSpooler : public nvprn::Spooler {
 public:
  explicit ListSpooler(const std::vector<std::string>& names) : names_(names) {}
  std::vector<std::string> PrinterNames() override { return names_; }
  int PendingJobs(const std::string&) override { return 0; }
  bool SetDefaultPrinter(const std::string&) override { return false; }
  std::string DefaultPrinter() override { return {}; }

 private:
  const std::vector<std::string>& names_;
};

class NoPrompt : public nvprn::Prompt {
 public:
  bool AskYesNo(const std::string&) override { return false; }
};

using Rows = std::vector<std::vector<std::string>>;

Rows Shown(const CAdPrint& page) {
  Rows rows;
  for (const CAdPrint::Row& r : page.rows()) rows.push_back({r.name, r.marks[0], r.marks[1]});
  return rows;
}

class AdPrintTest : public ::testing::Test {
 protected:
  void SetUp() override { cfgtest::DeleteScratchTree(); }
  void TearDown() override { cfgtest::DeleteScratchTree(); }

  CAdPrint Page(bool nt = true, std::shared_ptr<corekit::RegistryApi> registry = nullptr) {
    return CAdPrint(
        cfgtest::ScratchBaseKey(), "C:\\Netvane", nt,
        [this] {
          return std::make_unique<CPrnInfo>(std::make_unique<ListSpooler>(installed),
                                            std::make_unique<NoPrompt>());
        },
        std::move(registry));
  }
  std::string TablePath() const { return cfgtest::ScratchBaseKey() + "\\Printer"; }
  void WriteTable(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& values) {
    CRegistry key;
    ASSERT_TRUE(cfgtest::OpenOrCreate(key, TablePath()));
    for (const auto& [name, data] : values) ASSERT_TRUE(key.SetBinaryValue(name.c_str(), data));
  }
  // name -> data of every value, in enumeration order.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> ReadTable() {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> values;
    CRegistry key;
    if (!key.uOpenKey(corekit::kHKeyLocalMachine, TablePath().c_str())) return values;
    for (uint32_t i = 0; i < key.GetNumberOfValues(); ++i) {
      std::string name;
      CRegistry::KeyValueTypes type = CRegistry::typeNone;
      uint8_t data[16] = {};
      uint32_t size = sizeof data;
      if (!key.EnumerateValues(i, name, type, data, size)) continue;
      EXPECT_EQ(type, CRegistry::typeBinary) << name;
      values.emplace_back(name, std::vector<uint8_t>(data, data + size));
    }
    return values;
  }

  std::vector<std::string> installed;
};

TEST_F(AdPrintTest, FirstOpeningListsEveryPrinterUnmarkedAndWritesNothing) {
  installed = {"Laser", "Inkjet"};
  CAdPrint page = Page();
  page.Load();
  EXPECT_EQ(Shown(page), (Rows{{"Laser", kO, kO}, {"Inkjet", kO, kO}}));
  EXPECT_EQ(page.scanCount(), 2);
  CRegistry key;
  EXPECT_FALSE(key.uOpenKey(corekit::kHKeyLocalMachine, TablePath().c_str())) << "only Save writes the table";
}

TEST_F(AdPrintTest, LoadShowsTheTableAndScanMatchesNamesIgnoringCase) {
  WriteTable({{"A laser", {1, 0}}, {"B plotter", {0, 1}}, {"C both", {1, 1}}, {"D none", {0, 0}}});
  installed = {"b PLOTTER", "New one", "a laser"};
  CAdPrint page = Page();
  page.Load();
  EXPECT_EQ(Shown(page),
            (Rows{{"A laser", kV, kO}, {"B plotter", kO, kV}, {"C both", kV, kV}, {"D none", kO, kO}}));
  page.Scan();
  EXPECT_EQ(Shown(page), (Rows{{"b PLOTTER", kO, kV}, {"New one", kO, kO}, {"a laser", kV, kO}}));
}

// The table is a registry key, which holds "Drucker Büro" and "DRUCKER BÜRO" as one name: a scan
// matches printer names the same way, beyond ASCII letters.
TEST_F(AdPrintTest, ScanMatchesNamesAsTheRegistryDoesBeyondAscii) {
  WriteTable({{"Drucker Büro", {1, 0}}, {"Δέλτα plotter", {0, 1}}, {"프린터 a", {1, 1}}});
  installed = {"DRUCKER BÜRO", "ΔΈΛΤΑ PLOTTER", "프린터 A", "Drucker Buro"};
  CAdPrint page = Page();
  page.Load();
  page.Scan();
  EXPECT_EQ(Shown(page), (Rows{{"DRUCKER BÜRO", kV, kO},
                               {"ΔΈΛΤΑ PLOTTER", kO, kV},
                               {"프린터 A", kV, kV},
                               {"Drucker Buro", kO, kO}}));
}

TEST_F(AdPrintTest, ToggleFlipsOnlyMarksThatMayChange) {
  installed = {"Laser", "\\\\server\\queue"};
  struct Case {
    const char* what;
    bool nt;
    size_t row;
    int column;
    bool changes;
  };
  const Case cases[] = {
      {"network A mark", true, 0, 1, true},
      {"network B mark", true, 0, 2, true},
      {"printer name column", true, 0, 0, false},
      {"connection on NT", true, 1, 1, false},
      {"connection on the 95 family", false, 1, 2, true},
      {"row out of range", true, 5, 1, false},
      {"column out of range", true, 0, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CAdPrint page = Page(c.nt);
    page.Scan();
    const Rows before = Shown(page);
    EXPECT_EQ(page.Toggle(c.row, c.column), c.changes);
    Rows after = before;
    if (c.changes) after[c.row][c.column] = kV;
    EXPECT_EQ(Shown(page), after);
    if (c.changes) {
      EXPECT_TRUE(page.Toggle(c.row, c.column));
      EXPECT_EQ(Shown(page), before) << "a second click clears the mark again";
    }
  }
}

TEST_F(AdPrintTest, SaveRebuildsTheTableFromTheRows) {
  WriteTable({{"Gone", {1, 1}}, {"Laser", {1, 0}}, {"Plotter", {0, 1}}});
  installed = {"Laser", "Plotter", "Zeta"};
  CAdPrint page = Page();
  page.Scan();
  ASSERT_TRUE(page.Toggle(0, 1));  // Laser: no longer on A
  ASSERT_TRUE(page.Toggle(2, 2));  // Zeta: on B
  ASSERT_TRUE(page.Save());
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> expected = {
      {"Laser", {0, 0}}, {"Plotter", {0, 1}}, {"Zeta", {0, 1}}};
  EXPECT_EQ(ReadTable(), expected) << "the removed printer's value is gone; cleared marks still write 00 00";

  CAdPrint reopened = Page();
  reopened.Load();
  EXPECT_EQ(Shown(reopened), (Rows{{"Laser", kO, kO}, {"Plotter", kO, kV}, {"Zeta", kO, kV}}));
}

// A save that fails part-way leaves the table exactly as it was: the sheet reports the failure
// and puts its options back, so a half-written table would disagree with everything else.
TEST_F(AdPrintTest, SaveThatFailsPartWayLeavesTheTableAsItWas) {
  using Op = regtest::ScriptedRegistryApi::Op;
  constexpr int kAccessDenied = 5;
  using Table = std::vector<std::pair<std::string, std::vector<uint8_t>>>;
  // Odd lengths too: the table is put back byte for byte, not as the page would write it.
  const Table stored = {{"Laser", {1, 0}}, {"Plotter", {0, 1, 9}}, {"Gone", {1}}};
  struct Case {
    const char* what;
    bool tableBefore;
    Op op;
    int passes;  // calls of `op` that go through before the failing one; -1: none fails
    bool saved;
  } cases[] = {
      {"the first printer write fails", true, Op::SetValue, 0, false},
      {"the last printer write fails", true, Op::SetValue, 2, false},
      {"the table cannot be created again", true, Op::Create, 0, false},
      {"the old table cannot be deleted", true, Op::DeleteKey, 0, false},
      {"the old table cannot be read", true, Op::QueryInfo, 1, false},
      {"a first save fails", false, Op::SetValue, 1, false},
      {"everything goes through", true, Op::SetValue, -1, true},
  };
  installed = {"Laser", "Plotter", "Zeta"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(cfgtest::DeleteScratchTree());
    if (c.tableBefore) WriteTable(stored);
    const Table before = ReadTable();
    auto registry = std::make_shared<regtest::ScriptedRegistryApi>();
    CAdPrint page = Page(true, registry);
    page.Scan();
    ASSERT_TRUE(page.Toggle(2, 1));  // Zeta: on A
    if (c.passes > 0) registry->Script(c.op, regtest::ScriptedRegistryApi::kPass, c.passes);
    if (c.passes >= 0) registry->Script(c.op, kAccessDenied, 1);
    EXPECT_EQ(page.Save(), c.saved);
    const Table saved = {{"Laser", {1, 0}}, {"Plotter", {0, 1}}, {"Zeta", {1, 0}}};
    EXPECT_EQ(ReadTable(), c.saved ? saved : before);
    CRegistry key;
    EXPECT_EQ(key.uOpenKey(corekit::kHKeyLocalMachine, TablePath().c_str()) != 0, c.tableBefore || c.saved)
        << "no table before a failed first save, none after it";
  }
}

}  // namespace
