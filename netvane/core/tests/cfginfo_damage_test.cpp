// The configuration store when what it reads or writes goes wrong: broken stored values must
// not cost the values next to them, and failed writes must not pass for saved settings.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corekit/testing/scripted_registry_api.h"
#include "netvane/cfginfo.h"
#include "support/config_test_support.h"
#include "support/trace_capture.h"

namespace {

using Op = regtest::ScriptedRegistryApi::Op;

// One stored value in its raw form, below the scratch product key.
struct Stored {
  std::string key;  // relative to the product key, "" for the key itself
  std::string name;
  CRegistry::KeyValueTypes type;
  std::vector<uint8_t> data;
};

Stored Number(const std::string& key, const std::string& name, uint32_t value) {
  std::vector<uint8_t> bytes(4);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  return {key, name, CRegistry::typeDoubleWord, bytes};
}

Stored Text(const std::string& key, const std::string& name, const std::string& value) {
  std::vector<uint8_t> bytes(value.begin(), value.end());
  bytes.push_back(0);
  return {key, name, CRegistry::typeString, bytes};
}

Stored Binary(const std::string& key, const std::string& name, std::vector<uint8_t> value) {
  return {key, name, CRegistry::typeBinary, std::move(value)};
}

// A complete configuration with values that load and save back unchanged.
std::vector<Stored> FullConfiguration() {
  std::vector<Stored> all = {
      Text("", "InstalledPath", "C:\\Netvane"),
      Text("", "UseLang", "ENG"),
      Number("", "UseDll", 1),
      Number("", "dwPktCnt", 3),
      Number("", "dwPktDly", 10),
      Number("", "dwInterval", 5),
      Number("", "dwDebug", 2),
      Number("", "dwChngTimer", 1000),
      Number("", "dwSilentChng", 1),
      Text("", "AutoChangeOnOff", "ON"),
      Text("", "AutoChangeStartHour", "8"),
      Text("", "AutoChangeStartMinute", "30"),
      Text("", "AutoChangeInterval", "60"),
      Text("", "AutoChangeStartNetwork", "INTRANET"),
      Number("IPCfg", "dwIPnum", 2),
      Number("AdOpt", "dwOpt", 0x1B),
      Number("AdOpt", "dwAutoChange", 15),
      Number("AdOpt", "dwComport", 3),
      Number("AdOpt", "dwAutoLogin", 2),
      Text("AdOpt", "szNet0", "Inside"),
      Text("AdOpt", "szNet1", "Outside"),
      Text("AdOpt", "szNetDrv0", "F:"),
      Text("AdOpt", "szNetDrv1", "G:"),
  };
  for (uint8_t i = 0; i < 2; ++i) {
    const std::string key = "IPCfg\\info" + std::to_string(i);
    all.push_back(Number(key, "dwFlags", i == 0 ? 0x11 : 0x10));
    all.push_back(Binary(key, "ucMacAddr", {0x00, 0x1B, 0x21, 0x3C, 0x4D, i}));
    all.push_back(Number(key, "IPAddr", 0x0A000001u + i));
    all.push_back(Number(key, "NetMask", 0xFFFFFF00u));
    all.push_back(Number(key, "Gateway", 0x0A0000FEu + i));
    for (int j = 0; j < 3; ++j) {
      all.push_back(Number(key, "szDns" + std::to_string(j), 0x08080800u + i * 16 + j));
      all.push_back(
          Text(key, "szDomain" + std::to_string(j), "dom" + std::to_string(i * 10 + j) + ".example"));
    }
    all.push_back(Text(key, "szBindName", "{BIND-" + std::to_string(i) + "}"));
    all.push_back(Text(key, "szNetDev", "Adapter " + std::to_string(i)));
  }
  return all;
}

// Written by every save, never read by the program; they must stay too.
const Stored kWrittenOnly[] = {Text("", "RgSvcType", "1"), Number("Status", "dwNet", 1)};

enum class Damage { Missing, WrongType, WrongSize };
const char* Name(Damage d) {
  return d == Damage::Missing ? "missing" : d == Damage::WrongType ? "wrong type" : "wrong size";
}

class CfginfoDamage : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(cfgtest::DeleteScratchTree()); }
  void TearDown() override { EXPECT_TRUE(cfgtest::DeleteScratchTree()); }

  CRegistry& At(const std::string& relative) {
    EXPECT_TRUE(cfgtest::OpenOrCreate(writer, relative.empty() ? base : base + "\\" + relative));
    return writer;
  }
  bool Put(const Stored& v) {
    return At(v.key).SetValue(v.name.c_str(), v.type, v.data.data(), static_cast<uint32_t>(v.data.size()));
  }
  // The value as stored now; an empty name when it cannot be read.
  Stored Get(const Stored& like) {
    Stored now{like.key, like.name, CRegistry::typeNone, std::vector<uint8_t>(512)};
    uint32_t size = static_cast<uint32_t>(now.data.size());
    if (!At(like.key).QueryValue(like.name.c_str(), now.type, now.data.data(), size)) now.name.clear();
    now.data.resize(size);
    return now;
  }
  void Break(const Stored& v, Damage damage) {
    CRegistry& k = At(v.key);
    if (damage == Damage::Missing) {
      ASSERT_TRUE(k.DeleteValue(v.name.c_str()));
    } else if (damage == Damage::WrongType) {
      ASSERT_TRUE(v.type == CRegistry::typeString ? k.SetValue(v.name.c_str(), uint32_t{0x41414141})
                                                  : k.SetValue(v.name.c_str(), std::string("garbage")));
    } else if (v.type == CRegistry::typeDoubleWord) {
      const uint8_t twoBytes[] = {7, 7};
      ASSERT_TRUE(k.SetValue(v.name.c_str(), v.type, twoBytes, 2));
    } else if (v.type == CRegistry::typeBinary) {
      ASSERT_TRUE(k.SetValue(v.name.c_str(), std::vector<uint8_t>{1, 2, 3}));
    } else {
      ASSERT_TRUE(k.SetValue(v.name.c_str(), std::string(5000, 'x')));  // longer than any text read
    }
  }
  // Loads as the program does at start-up, then saves as the dialogs and a status request do.
  void LoadAndSave() {
    COSversion os;
    os.m_language = "KOR";
    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.LoadBase(os);
    cfg.LoadAll(strings);
    COSversion windows2000;
    windows2000.m_osvi.dwPlatformId = kPlatformNT;
    windows2000.m_osvi.dwMajorVersion = 5;
    EXPECT_TRUE(cfg.SaveNetworks(windows2000));
    EXPECT_TRUE(cfg.SaveOptions());
    EXPECT_TRUE(cfg.SaveStatus(0));
  }

  const std::string base = cfgtest::ScratchBaseKey();
  CIniFile strings;
  CRegistry writer;
};

TEST_F(CfginfoDamage, ABrokenValueCostsNoOtherStoredValue) {
  std::vector<Stored> all = FullConfiguration();
  const size_t readable = all.size();
  all.insert(all.end(), std::begin(kWrittenOnly), std::end(kWrittenOnly));
  for (const Stored& v : all) ASSERT_TRUE(Put(v)) << v.name;

  for (size_t broken = 0; broken < readable; ++broken) {
    for (Damage damage : {Damage::Missing, Damage::WrongType, Damage::WrongSize}) {
      SCOPED_TRACE(all[broken].key + "\\" + all[broken].name + ", " + Name(damage));
      Break(all[broken], damage);
      LoadAndSave();
      for (size_t i = 0; i < all.size(); ++i) {
        const Stored now = Get(all[i]);
        const bool same = !now.name.empty() && now.type == all[i].type && now.data == all[i].data;
        if (i != broken) {
          EXPECT_TRUE(same) << all[i].key << "\\" << all[i].name << " changed";
        }
        if (!same) {
          ASSERT_TRUE(Put(all[i]));  // the next case starts from the full set again
        }
      }
    }
  }
}

TEST_F(CfginfoDamage, RecordsSkippedAtLoadAreSavedOnlyWhenChanged) {
  for (const Stored& v : FullConfiguration()) ASSERT_TRUE(Put(v));
  const Stored netB = Text("IPCfg\\info1", "szNetDev", "Adapter 1");
  const Stored addressA = Number("IPCfg\\info0", "IPAddr", 0x0A000001u);
  const Stored count = Number("IPCfg", "dwIPnum", 2);

  for (Damage damage : {Damage::Missing, Damage::WrongType, Damage::WrongSize}) {
    SCOPED_TRACE(Name(damage));
    ASSERT_TRUE(Put(netB));
    Break(count, damage);
    cfgtest::TraceCapture trace;
    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.LoadNetworks();
    EXPECT_EQ(cfg.dwIPnum, 0u);
    EXPECT_EQ(cfg.net[1].szNetDev, "");  // not loaded, as without a network count
    if (damage != Damage::Missing) {
      EXPECT_NE(trace.Text().find("dwIPnum unreadable"), std::string::npos);
    }

    // The one-network dialog fills in network B only: A stays as stored, B is written.
    cfg.dwIPnum = 1;
    cfg.net[1].szNetDev = "New adapter";
    EXPECT_TRUE(cfg.SaveNetworks(COSversion()));
    EXPECT_EQ(Get(addressA).data, addressA.data);
    EXPECT_EQ(Get(netB).data, Text("", "", "New adapter").data);
    EXPECT_NE(trace.Text().find("info0 was not loaded and is unchanged"), std::string::npos);
  }

  // A one-network set-up leaves record B unwritten; loading it reads nothing and saving adds nothing.
  ASSERT_TRUE(cfgtest::DeleteScratchTree());
  ASSERT_TRUE(Put(Number("IPCfg", "dwIPnum", 1)));
  ASSERT_TRUE(Put(addressA));
  CCfginfo cfg;
  cfg.SetKeys(base);
  cfg.LoadNetworks();
  EXPECT_EQ(cfg.net[0].IPAddr, 0x0A000001u);
  EXPECT_TRUE(cfg.SaveNetworks(COSversion()));
  CRegistry probe;
  EXPECT_FALSE(probe.uOpenKey(corekit::kHKeyLocalMachine, (base + "\\IPCfg\\info1").c_str()));
}

TEST_F(CfginfoDamage, FailedSavesAreTracedAndNotReportedAsSaved) {
  auto registry = std::make_shared<regtest::ScriptedRegistryApi>();
  CCfginfo cfg(registry);
  cfg.SetKeys(base);
  cfg.dwIPnum = 2;
  cfg.net[0].szNetDev = "Adapter 0";
  COSversion windows2000;
  windows2000.m_osvi.dwPlatformId = kPlatformNT;
  windows2000.m_osvi.dwMajorVersion = 5;
  struct Save {
    const char* what;
    std::function<bool()> run;
  } saves[] = {{"networks", [&] { return cfg.SaveNetworks(windows2000); }},
               {"options", [&] { return cfg.SaveOptions(); }},
               {"status", [&] { return cfg.SaveStatus(1); }}};
  struct Failure {
    const char* what;
    std::vector<Op> ops;
    const char* traced;
  } failures[] = {{"a value", {Op::SetValue}, "CCfginfo: cannot write "},
                  {"the key", {Op::Open, Op::Create}, "CCfginfo: cannot open "}};

  for (const Save& save : saves) {
    SCOPED_TRACE(save.what);
    EXPECT_TRUE(save.run());  // the same save goes through on a sound store
    for (const Failure& failure : failures) {
      SCOPED_TRACE(failure.what);
      for (Op op : failure.ops) registry->Script(op, 5 /* access denied */, -1);
      cfgtest::TraceCapture trace;
      EXPECT_FALSE(save.run());
      EXPECT_NE(trace.Text().find(failure.traced), std::string::npos) << trace.Text();
      for (Op op : failure.ops) registry->Clear(op);
    }
  }
}

}  // namespace

namespace {

bool Same(const Stored& a, const Stored& b) {
  return a.key == b.key && a.name == b.name && a.type == b.type && a.data == b.data;
}

bool SameNetworks(const NetworkSettings& a, const NetworkSettings& b) {
  return a.net[0] == b.net[0] && a.net[1] == b.net[1] && a.dwIPnum == b.dwIPnum;
}

bool SameOptions(const OptionSettings& a, const OptionSettings& b) {
  return a.dwOpt == b.dwOpt && a.dwAutoChange == b.dwAutoChange && a.dwComport == b.dwComport &&
         a.dwAutoLogin == b.dwAutoLogin && a.szNet[0] == b.szNet[0] && a.szNet[1] == b.szNet[1] &&
         a.szNetDrv[0] == b.szNetDrv[0] && a.szNetDrv[1] == b.szNetDrv[1];
}

// Every write of a save is made to fail in turn: the store stays byte for byte as it was, the
// settings in force stay too, and the trace says the save was undone.  Once no write fails the
// new settings are stored and in force.
TEST_F(CfginfoDamage, ASaveThatFailsPartWayLeavesTheStoreAndTheSettingsInForceAsTheyWere) {
  std::vector<Stored> all = FullConfiguration();
  all.push_back(kWrittenOnly[0]);
  for (const Stored& v : all) ASSERT_TRUE(Put(v));
  const auto snapshot = [&] {
    std::vector<Stored> now;
    for (const Stored& v : all) now.push_back(Get(v));
    return now;
  };
  const std::vector<Stored> before = snapshot();
  COSversion windows2000;
  windows2000.m_osvi.dwPlatformId = kPlatformNT;
  windows2000.m_osvi.dwMajorVersion = 5;

  for (const bool networks : {true, false}) {
    SCOPED_TRACE(networks ? "IP configuration" : "options");
    int passes = 0;
    for (;; ++passes) {
      SCOPED_TRACE("writes that go through: " + std::to_string(passes));
      auto registry = std::make_shared<regtest::ScriptedRegistryApi>();
      CCfginfo cfg(registry);
      cfg.SetKeys(base);
      CIniFile none;
      cfg.LoadAll(none);
      const NetworkSettings liveNetworks = cfg.Networks();
      const OptionSettings liveOptions = cfg.Options();
      NetworkSettings nextNetworks = liveNetworks;
      nextNetworks.dwIPnum = 1;
      nextNetworks.net[0].szNetDev = "Other adapter";
      nextNetworks.net[1].IPAddr = 0x0B000001;
      nextNetworks.net[1].domain[2] = "changed.example";
      OptionSettings nextOptions = liveOptions;
      nextOptions.dwOpt = 0x04;
      nextOptions.szNet[0] = "New name";
      nextOptions.szNetDrv[1] = "H:";

      if (passes > 0) registry->Script(Op::SetValue, regtest::ScriptedRegistryApi::kPass, passes);
      registry->Script(Op::SetValue, 5 /* access denied */, 1);
      cfgtest::TraceCapture trace;
      const bool saved =
          networks ? cfg.SaveNetworks(windows2000, nextNetworks) : cfg.SaveOptions(nextOptions);
      if (saved) {
        // Every write went through before the scripted failure could come.
        EXPECT_TRUE(networks ? SameNetworks(cfg.Networks(), nextNetworks)
                             : SameOptions(cfg.Options(), nextOptions));
        CCfginfo reread;
        reread.SetKeys(base);
        reread.LoadAll(none);
        EXPECT_TRUE(networks ? SameNetworks(reread.Networks(), nextNetworks)
                             : SameOptions(reread.Options(), nextOptions));
        break;
      }
      const std::vector<Stored> after = snapshot();
      ASSERT_EQ(after.size(), before.size());
      for (size_t i = 0; i < after.size(); ++i)
        EXPECT_TRUE(Same(after[i], before[i])) << before[i].key << "\\" << before[i].name << " changed";
      EXPECT_TRUE(SameNetworks(cfg.Networks(), liveNetworks));
      EXPECT_TRUE(SameOptions(cfg.Options(), liveOptions));
      EXPECT_NE(trace.Text().find("CCfginfo: save undone"), std::string::npos) << trace.Text();
      ASSERT_LT(passes, 100) << "a save of a few dozen values";
    }
    EXPECT_GE(passes, networks ? 20 : 8) << "each write was made to fail once";
    for (const Stored& v : all) ASSERT_TRUE(Put(v));  // back to the stored configuration
  }
}

}  // namespace
