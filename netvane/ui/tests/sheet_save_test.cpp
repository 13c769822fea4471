// The option sheet's save with a real store: all of it or nothing, whether an options write fails
// part-way or a page's own store (the printer table) fails after the options were written.
#include <gtest/gtest.h>

#include <memory>

#include "corekit/testing/registry_sandbox.h"
#include "corekit/testing/scripted_registry_api.h"
#include "netvane/option_pages.h"

namespace {

using Op = regtest::ScriptedRegistryApi::Op;

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

class NamingPage : public nv::ui::IOptionPage {
 public:
  void Save(OptionSettings& next) override {
    next.dwOpt |= 0x02;
    next.szNet[0] = "Renamed";
  }
  uint32_t OptionBits() const override { return 0x0B; }
  bool Commit() override { return !commitFails; }
  bool commitFails = false;
};

struct Stored {
  uint32_t dwOpt = 0;
  std::string name;
  bool operator==(const Stored& o) const { return dwOpt == o.dwOpt && name == o.name; }
};

Stored Read(const std::string& adOpt) {
  CRegistry key;
  Stored s;
  key.uOpenKey(corekit::kHKeyLocalMachine, adOpt.c_str());
  key.GetValue("dwOpt", s.dwOpt);
  key.GetValue("szNet0", s.name);
  return s;
}

TEST(SheetSave, AllOrNothingWhenAWriteOrAPagesOwnStoreFails) {
  ASSERT_TRUE(g_sandboxed);
  const std::string root = corekit::testing::ProcessScratchName("SOFTWARE\\NetvaneUiTest");
  struct Case {
    const char* what;
    int passesBeforeFailure;  // -1: no options write fails
    bool commitFails;
    bool saved;
  } cases[] = {
      {"the second options write fails", 1, false, false},
      {"the last options write fails", 7, false, false},
      {"the page's own store fails", -1, true, false},
      {"everything goes through", -1, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, root));
    auto registry = std::make_shared<regtest::ScriptedRegistryApi>();
    CCfginfo cfg(registry);
    cfg.SetKeys(root + "\\Netvane-H");
    cfg.dwOpt = 0x05;
    cfg.szNet[0] = "Inside";
    ASSERT_TRUE(cfg.SaveOptions());
    const Stored before = Read(cfg.adOptKey);
    ASSERT_EQ(before, (Stored{0x05, "Inside"}));

    NamingPage page;
    page.commitFails = c.commitFails;
    if (c.passesBeforeFailure > 0)
      registry->Script(Op::SetValue, regtest::ScriptedRegistryApi::kPass, c.passesBeforeFailure);
    if (c.passesBeforeFailure >= 0) registry->Script(Op::SetValue, 5 /* access denied */, 1);
    EXPECT_EQ(nv::ui::SaveSheet({{&page, true}}, cfg), c.saved);
    const Stored expected = c.saved ? Stored{0x02, "Renamed"} : before;
    EXPECT_EQ(Read(cfg.adOptKey), expected);
    EXPECT_EQ(cfg.dwOpt, expected.dwOpt) << "the settings in force follow the store";
    EXPECT_EQ(cfg.szNet[0], expected.name);
  }
  EXPECT_TRUE(corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, root));
}

}  // namespace
