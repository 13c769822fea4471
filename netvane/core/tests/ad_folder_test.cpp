#include "netvane/ad_folder.h"
#include "netvane/ad_print.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>

#include "corekit/ini_file.h"
#include "support/fake_guard_device.h"

namespace {

using nv::core::FlagEditor;
using nv::core::FolderRecord;
using nv::core::FolderRow;
using nv::core::testing::FakeGuardDevice;
using nv::core::testing::GuardState;
using nv::core::testing::RawRecord;
using Rows = std::vector<FolderRow>;

class Host : public nv::core::IFolderPageHost {
 public:
  std::deque<std::optional<std::string>> chosen;
  bool answer = false;
  std::vector<std::string> shown;  // "ok: ..." and "ask: ..." in order
  std::optional<std::string> ChooseFolder(const std::string& title) override {
    shown.push_back("choose: " + title);
    auto next = chosen.front();
    chosen.pop_front();
    return next;
  }
  void Inform(const std::string& text) override { shown.push_back("ok: " + text); }
  bool AskYesNo(const std::string& text) override {
    shown.push_back("ask: " + text);
    return answer;
  }
  std::optional<std::string> ShortPath(const std::string& path) override {
    if (path == "C:\\Program Files") return std::string("C:\\PROGRA~1");
    return std::nullopt;
  }
};

const nv::core::FolderPageTexts kTexts{"Choose a folder", "Already in list"};

FolderRow Row(const std::string& folder, const char* paused, const char* access, const char* network) {
  return FolderRow{folder, paused, access, network};
}

TEST(FolderPage, MatchPrefix) {
  struct Case {
    const char* pattern;
    const char* text;
    bool match;
  };
  const Case cases[] = {
      {"", "C:\\A", false},         {"C:\\A*", "C:\\A", true},
      {"C:\\A*", "c:\\a\\b", true}, {"C:\\A*", "C:\\AB", true},
      {"C:\\A", "C:\\A", true},     {"C:\\A", "C:\\AB", false},
      {"C:\\AB", "C:\\A", false},   {"C:\\A*x", "C:\\A", true},
      {"C:\\A*", "C:\\", false},    {"*", "", true},
      {"C:\\B*", "C:\\A", false},   {"c:\\data*", "C:\\DATA\\X", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.text);
    EXPECT_EQ(nv::core::MatchPrefix(c.pattern, c.text), c.match);
  }
}

TEST(FolderPage, RowsAndFlagsConvertBothWays) {
  EXPECT_EQ(nv::core::RowFromFlags("C:\\A*", 0x39), Row("C:\\A*", "", "Hidden", "NET B"));
  EXPECT_EQ(nv::core::RowFromFlags("C:\\A*", 0x12), Row("C:\\A*", "V", "Read", "Always"));
  EXPECT_EQ(nv::core::RowFromFlags("C:\\A*", 0x2A), Row("C:\\A*", "", "Hidden", "Always")) << "hidden wins";
  // Every flags byte the page produces survives the trip through the columns; other bits are dropped.
  for (int f = 0; f < 256; ++f) {
    SCOPED_TRACE(f);
    const uint8_t flags = static_cast<uint8_t>(f);
    uint8_t expected = (flags & 0x29) | 0x10;
    if ((flags & 0x08) == 0) expected |= flags & 0x02;
    EXPECT_EQ(nv::core::FlagsFromRow(nv::core::RowFromFlags("x*", flags)), expected);
  }
  EXPECT_EQ(nv::core::FlagsFromRow(Row("x*", "v", "hidden", "net b")), 0x19) << "texts compare ignoring case";
}

TEST(FolderPage, AddChecks) {
  struct Case {
    const char* what;
    Rows before;
    std::optional<std::string> chosen;
    bool answer;
    std::vector<std::string> shown;
    Rows after;
  };
  const FolderRow data = Row("C:\\DATA*", "", "Hidden", "NET B");
  const FolderRow sub = Row("C:\\Data\\Sub*", "V", "Read", "Always");
  const std::string longPath = "C:\\" + std::string(260, 'x');
  const Case cases[] = {
      {"cancelled", {data}, std::nullopt, false, {}, {data}},
      {"new folder", {data}, "D:\\Work", false, {}, {data, Row("D:\\Work*", "", "Hidden", "NET B")}},
      {"the Windows folder itself",
       {},
       "C:\\WINDOWS",
       false,
       {},
       {Row("C:\\WINDOWS*", "", "Hidden", "NET B")}},
      {"below the Windows folder",
       {},
       "c:\\windows\\system",
       false,
       {"ok: System Folder can't be selected!!\n"},
       {}},
      {"already covered", {data}, "C:\\DATA\\Inner", false, {"ok: Already in list(C:\\DATA*)\n"}, {data}},
      {"sibling with a longer name: plain prefix",
       {data},
       "C:\\DATABASE",
       false,
       {"ok: Already in list(C:\\DATA*)\n"},
       {data}},
      {"covered, other letter case",
       {data},
       "c:\\data\\x",
       false,
       {"ok: Already in list(C:\\DATA*)\n"},
       {data}},
      {"covers an entry, No",
       {sub},
       "C:\\Data",
       false,
       {"ask: Already in list(C:\\Data\\Sub*)\n\nModify ?"},
       {sub}},
      {"covers an entry, Yes",
       {sub},
       "c:\\data",
       true,
       {"ask: Already in list(C:\\Data\\Sub*)\n\nModify ?"},
       {Row("c:\\data*", "V", "Read", "Always")}},
      {"longer than the device's record", {}, longPath, false, {"ok: Folder path is too long!!\n"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardState state;
    state.deviceRecords.clear();
    for (const FolderRow& r : c.before) {
      const auto rec = RawRecord(nv::core::FlagsFromRow(r), r.folder);
      state.deviceRecords.insert(state.deviceRecords.end(), rec.begin(), rec.end());
      state.deviceRecords.insert(state.deviceRecords.end(), rec.begin(), rec.end());
    }
    state.deviceCount = static_cast<uint32_t>(c.before.size() * 2);
    CGuardDevice device(nv::core::testing::Windows95Family(), std::make_unique<FakeGuardDevice>(state));
    Host host;
    host.chosen.push_back(c.chosen);
    host.answer = c.answer;
    CAdFolder page(&device, "C:\\WINDOWS\\", kTexts, host);
    ASSERT_TRUE(page.Init());
    ASSERT_EQ(page.rows(), c.before);
    page.Add();
    std::vector<std::string> expectedShown = {"choose: Choose a folder"};
    expectedShown.insert(expectedShown.end(), c.shown.begin(), c.shown.end());
    EXPECT_EQ(host.shown, expectedShown);
    EXPECT_EQ(page.rows(), c.after);
    EXPECT_EQ(page.applyEnabled(), c.after.size() > c.before.size()) << "only a new row enables Apply";
  }
}

TEST(FolderPage, OpensWithTheDevicesListAndHandsItBackTwicePerFolder) {
  GuardState state;
  for (const auto& [flags, path] : std::vector<std::pair<uint8_t, std::string>>{{0x39, "C:\\A*"},
                                                                                {0x39, "C:\\A~1*"},
                                                                                {0x12, "C:\\Program Files*"},
                                                                                {0x12, "x"},
                                                                                {0x3B, "E:\\C*"}}) {
    const auto rec = RawRecord(flags, path);
    state.deviceRecords.insert(state.deviceRecords.end(), rec.begin(), rec.end());
  }
  state.deviceCount = 5;
  CGuardDevice device(nv::core::testing::Windows95Family(), std::make_unique<FakeGuardDevice>(state));
  Host host;
  CAdFolder page(&device, "C:\\WINDOWS", kTexts, host);
  ASSERT_TRUE(page.Init());
  EXPECT_TRUE(page.fullRowSelect());
  EXPECT_FALSE(page.deleteEnabled());
  EXPECT_FALSE(page.applyEnabled());
  const Rows shown = {Row("C:\\A*", "", "Hidden", "NET B"), Row("C:\\Program Files*", "V", "Read", "Always"),
                      Row("E:\\C*", "", "Hidden", "NET B")};
  EXPECT_EQ(page.rows(), shown) << "records 0, 2 and 4";

  page.Delete({0});
  EXPECT_TRUE(page.applyEnabled());
  page.Apply();
  EXPECT_FALSE(page.applyEnabled());
  EXPECT_FALSE(page.deleteEnabled());
  ASSERT_EQ(state.requests.size(), 2u);
  EXPECT_EQ(state.requests[1].code, nv::core::kGuardApplyList);
  EXPECT_EQ(FakeGuardDevice::Le32(state.requests[1].block.data()), 4u) << "two records per row";
  std::vector<uint8_t> expected;
  for (const auto& [flags, path] : std::vector<std::pair<uint8_t, std::string>>{{0x12, "C:\\Program Files*"},
                                                                                {0x12, "C:\\PROGRA~1*"},
                                                                                {0x39, "E:\\C*"},
                                                                                {0x39, "///Org Short//"}}) {
    const auto rec = RawRecord(flags, path);
    expected.insert(expected.end(), rec.begin(), rec.end());
  }
  EXPECT_EQ(state.requests[1].records, expected);

  page.Save();
  ASSERT_EQ(state.requests.size(), 3u);
  EXPECT_EQ(state.requests[2].code, nv::core::kGuardSaveList);
  EXPECT_EQ(state.requests[2].records, expected);

  // Read takes the device's list again.
  page.Read();
  EXPECT_EQ(page.rows(), shown);
  EXPECT_TRUE(page.applyEnabled());
  EXPECT_FALSE(page.deleteEnabled());
  // A failing read leaves the list as it is.
  page.Delete({0, 1, 2});
  state.failNext = true;
  page.Read();
  EXPECT_TRUE(page.rows().empty());
}

TEST(FolderPage, FlagEditorFollowsTheSelection) {
  GuardState state;
  state.deviceRecords = RawRecord(0x12, "C:\\A*");
  const auto more = RawRecord(0x39, "D:\\B*");
  state.deviceRecords.insert(state.deviceRecords.end(), state.deviceRecords.begin(),
                             state.deviceRecords.end());
  state.deviceRecords.insert(state.deviceRecords.end(), more.begin(), more.end());
  state.deviceCount = 3;
  CGuardDevice device(nv::core::testing::Windows95Family(), std::make_unique<FakeGuardDevice>(state));
  Host host;
  CAdFolder page(&device, "C:\\WINDOWS", kTexts, host);
  ASSERT_TRUE(page.Init());
  ASSERT_EQ(page.rows().size(), 2u);

  page.ClickList({0});
  EXPECT_EQ(page.editor(), (FlagEditor{true, false, true, false, true}));
  EXPECT_TRUE(page.deleteEnabled());
  page.ClickList({1});
  EXPECT_EQ(page.editor(), (FlagEditor{false, true, false, true, false}));
  page.ClickList({});
  EXPECT_EQ(page.editor(), FlagEditor{});
  EXPECT_FALSE(page.deleteEnabled());

  // Pause both, read-only, always.
  page.EditFlags({0, 1}, FlagEditor{true, false, true, false, true});
  EXPECT_EQ(page.rows()[0], Row("C:\\A*", "V", "Read", "Always"));
  EXPECT_EQ(page.rows()[1], Row("D:\\B*", "V", "Read", "Always"));
  EXPECT_TRUE(page.applyEnabled());
  page.EditFlags({1}, FlagEditor{false, true, false, true, false});
  EXPECT_EQ(page.rows()[1], Row("D:\\B*", "", "Hidden", "NET B"));
  EXPECT_EQ(nv::core::FlagsFromRow(page.rows()[1]), 0x39);
  page.EditFlags({}, FlagEditor{false, true, false, true, false});
  EXPECT_EQ(page.editor(), FlagEditor{});
  EXPECT_FALSE(page.deleteEnabled());
}

TEST(FolderPage, InertWithoutTheDevice) {
  for (const bool nt : {true, false}) {
    SCOPED_TRACE(nt ? "NT family" : "device missing");
    GuardState state;
    state.opens = false;
    CGuardDevice device(nt ? nv::core::testing::NtFamily() : nv::core::testing::Windows95Family(),
                        std::make_unique<FakeGuardDevice>(state));
    Host host;
    CAdFolder page(&device, "C:\\WINDOWS", kTexts, host);
    EXPECT_FALSE(page.Init());
    EXPECT_TRUE(page.rows().empty());
    EXPECT_TRUE(page.deleteEnabled()) << "buttons stay as the template has them";
    EXPECT_TRUE(page.applyEnabled());
    EXPECT_FALSE(page.fullRowSelect());
    page.Apply();
    page.Save();
    page.Read();
    EXPECT_TRUE(state.requests.empty());
    EXPECT_TRUE(host.shown.empty()) << "no message";
  }
  Host host;
  CAdFolder withoutWrapper(nullptr, "C:\\WINDOWS", kTexts, host);
  EXPECT_FALSE(withoutWrapper.Init());
  withoutWrapper.Save();
}

}  // namespace

namespace {

TEST(FolderPage, SystemShortPath) {
  EXPECT_FALSE(nv::core::SystemShortPath("/no/such/folder/anywhere").has_value());
#ifdef _WIN32
  // Wine gives existing folders a short form; its last part is at most 8.3.
  const auto shortForm = nv::core::SystemShortPath("C:\\Program Files");
  ASSERT_TRUE(shortForm.has_value());
  EXPECT_EQ(shortForm->rfind("C:\\", 0), 0u);
  EXPECT_LE(shortForm->size() - 3, 12u) << *shortForm;
#endif
}

}  // namespace

namespace {

TEST(FolderPage, PageTextsComeFromTheStringFile) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("nv-adpages-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".ini");
  {
    std::ofstream out(file);
    out << "[CommonStr]\nszNetA=Inside\nszNetB=Outside\nszApply=Apply now\n"
           "[ADFolder]\nszAlreadyList=Already listed\nszSelFolder=Pick one\nszTPause=Off\n"
           "[ADPrint]\nszTPrnName=Printer name\nszScanPrn=Look again\n";
  }
  CIniFile strings(file.u8string());
  ASSERT_TRUE(strings.ReadFile());
  const nv::core::FolderPageLabels labels = nv::core::ReadFolderPageLabels(strings);
  EXPECT_EQ(labels.netB, "Outside") << "the network-B radio shows network B's name";
  EXPECT_EQ(labels.apply, "Apply now");
  EXPECT_EQ(labels.tPause, "Off");
  const nv::core::FolderPageTexts texts = nv::core::ReadFolderPageTexts(strings);
  EXPECT_EQ(texts.alreadyList, "Already listed");
  EXPECT_EQ(texts.selFolder, "Pick one");
  const nv::core::PrinterPageTexts printer = nv::core::ReadPrinterPageTexts(strings);
  EXPECT_EQ(printer.printerTitle, "Printer name");
  EXPECT_EQ(printer.netA, "Inside");
  EXPECT_EQ(printer.netB, "Outside");
  EXPECT_EQ(printer.scan, "Look again");
  std::filesystem::remove(file);
}

}  // namespace
