// The configuration store against the platform's registry (our own store natively, Wine's
// registry in the Windows run), below a scratch product key of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netvane/cfginfo.h"
#include "support/config_test_support.h"

namespace {

class Cfginfo : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(cfgtest::DeleteScratchTree());
    CRegistry installer;
    ASSERT_TRUE(cfgtest::OpenOrCreate(installer, base));
  }
  void TearDown() override { EXPECT_TRUE(cfgtest::DeleteScratchTree()); }

  // Writes values below the scratch product key ("" = the key itself).
  CRegistry& At(const std::string& relative) {
    EXPECT_TRUE(cfgtest::OpenOrCreate(writer, relative.empty() ? base : base + "\\" + relative));
    return writer;
  }

  // A fresh object loaded as the program loads it at start-up, on a Korean system.
  void Load(CCfginfo& cfg) {
    COSversion os;
    os.m_language = "KOR";
    cfg.SetKeys(base);
    cfg.LoadBase(os);
    cfg.LoadAll(strings);
  }

  const std::string base = cfgtest::ScratchBaseKey();
  CIniFile strings;  // the string file, in memory
  CRegistry writer;
};

COSversion Windows(uint32_t platform, uint32_t major) {
  COSversion os;
  os.m_osvi.dwPlatformId = platform;
  os.m_osvi.dwMajorVersion = major;
  return os;
}
const COSversion kWindows2000 = Windows(kPlatformNT, 5);

NetCfgRecord SampleRecord(uint32_t seed) {
  NetCfgRecord r;
  r.IPAddr = 0x0A000001 + seed;
  r.NetMask = 0xFFFFFF00;
  r.Gateway = 0x0A0000FE + seed;
  for (uint32_t j = 0; j < 3; ++j) {
    r.dns[j] = 0x08080800 + seed * 16 + j;
    r.domain[j] = "dom" + std::to_string(seed) + std::to_string(j) + ".example";
  }
  r.useDhcp = seed % 2;
  r.sameGateway = 1 - seed % 2;
  r.szNetDev = "Adapter " + std::to_string(seed);
  r.szBindName = "{BIND-" + std::to_string(seed) + "}";
  r.ucMacAddr = {0x00, 0x1B, 0x21, 0x3C, 0x4D, static_cast<uint8_t>(seed)};
  return r;
}

void ExpectSameRecord(const NetCfgRecord& a, const NetCfgRecord& b) {
  EXPECT_EQ(a.IPAddr, b.IPAddr);
  EXPECT_EQ(a.NetMask, b.NetMask);
  EXPECT_EQ(a.Gateway, b.Gateway);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(a.dns[j], b.dns[j]);
    EXPECT_EQ(a.domain[j], b.domain[j]);
  }
  EXPECT_EQ(a.useDhcp, b.useDhcp);
  EXPECT_EQ(a.sameGateway, b.sameGateway);
  EXPECT_EQ(a.szNetDev, b.szNetDev);
  EXPECT_EQ(a.szBindName, b.szBindName);
  EXPECT_EQ(a.ucMacAddr, b.ucMacAddr);
}

TEST_F(Cfginfo, AFullConfigurationRoundTripsThroughTheRegistry) {
  CCfginfo saved;
  saved.SetKeys(base);
  saved.net[0] = SampleRecord(0);
  saved.net[1] = SampleRecord(1);
  saved.dwIPnum = 2;
  saved.szNet[0] = "Inside";
  saved.szNet[1] = "Outside";
  saved.szNetDrv[0] = "F:\\LOGIN";
  saved.szNetDrv[1] = "G:";
  saved.dwOpt = 0x1B;
  saved.dwComport = 3;
  saved.dwAutoLogin = 2;
  saved.dwAutoChange = 15;
  EXPECT_TRUE(saved.SaveNetworks(kWindows2000));
  EXPECT_TRUE(saved.SaveOptions());

  CCfginfo loaded;
  Load(loaded);
  EXPECT_EQ(loaded.dwIPnum, 2u);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    ExpectSameRecord(loaded.net[i], saved.net[i]);
    EXPECT_EQ(loaded.szNet[i], saved.szNet[i]);
    EXPECT_EQ(loaded.szNetDrv[i], saved.szNetDrv[i]);
  }
  EXPECT_EQ(loaded.dwOpt, 0x1Bu);
  EXPECT_EQ(loaded.reverse, 1u);
  EXPECT_EQ(loaded.dwComport, 3u);
  EXPECT_EQ(loaded.dwAutoLogin, 2u);
  EXPECT_EQ(loaded.dwAutoChange, 15u);

  std::string svcType;
  EXPECT_TRUE(At("").GetValue("RgSvcType", svcType));
  EXPECT_EQ(svcType, "1");
}

TEST_F(Cfginfo, RgSvcTypeIsWrittenOnlyOnWindows2000AndLater) {
  for (const COSversion& os : {Windows(kPlatformNT, 4), Windows(kPlatformWindows, 4)}) {
    CCfginfo cfg;
    cfg.SetKeys(base);
    EXPECT_TRUE(cfg.SaveNetworks(os));
    std::string svcType;
    EXPECT_EQ(At("").GetValue("RgSvcType", svcType), 0);
  }
}

TEST_F(Cfginfo, AFirstSaveOnAnEmptyTreeKeepsTheNetworkCount) {
  ASSERT_TRUE(cfgtest::DeleteScratchTree());
  CCfginfo saved;
  saved.SetKeys(base);
  saved.dwIPnum = 1;
  saved.net[0] = SampleRecord(3);
  EXPECT_TRUE(saved.SaveNetworks(kWindows2000));

  CCfginfo loaded;
  loaded.SetKeys(base);
  loaded.LoadNetworks();
  EXPECT_EQ(loaded.dwIPnum, 1u);
  ExpectSameRecord(loaded.net[0], saved.net[0]);
}

TEST_F(Cfginfo, BaseValuesAndTheLanguageDefault) {
  CRegistry& b = At("");
  b.SetValue("InstalledPath", std::string("C:\\Program Files\\Netvane"));
  b.SetValue("UseDll", uint32_t{1});
  const char* tuning[] = {"dwPktCnt", "dwPktDly", "dwInterval", "dwDebug", "dwChngTimer", "dwSilentChng"};
  for (uint32_t i = 0; i < 6; ++i) b.SetValue(tuning[i], 100 + i);

  CCfginfo cfg;
  Load(cfg);
  EXPECT_EQ(cfg.InstalledPath, "C:\\Program Files\\Netvane");
  EXPECT_EQ(cfg.UseLang, "KOR");
  EXPECT_EQ(cfg.UseDll, 1u);
  const uint32_t loadedTuning[] = {cfg.dwPktCnt, cfg.dwPktDly,    cfg.dwInterval,
                                   cfg.dwDebug,  cfg.dwChngTimer, cfg.dwSilentChng};
  for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(loadedTuning[i], 100 + i) << tuning[i];

  // The language taken is written back, and a stored one wins over the system's.
  std::string lang;
  EXPECT_TRUE(At("").GetValue("UseLang", lang));
  EXPECT_EQ(lang, "KOR");
  At("").SetValue("UseLang", std::string("ENG"));
  CCfginfo again;
  Load(again);
  EXPECT_EQ(again.UseLang, "ENG");
}

TEST_F(Cfginfo, NetworkCountDecidesWhetherRecordsAreLoaded) {
  At("IPCfg\\info0").SetValue("IPAddr", uint32_t{0x0A000005});
  At("IPCfg\\info1").SetValue("IPAddr", uint32_t{0x0B000005});
  struct Case {
    const char* what;
    bool stored;
    uint32_t value;
    uint32_t count;
    bool recordsLoaded;
  } cases[] = {{"absent", false, 0, 0, false},
               {"zero", true, 0, 0, false},
               {"one", true, 1, 1, true},
               {"two", true, 2, 2, true},
               {"seven", true, 7, 2, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CRegistry& ipcfg = At("IPCfg");
    ipcfg.DeleteValue("dwIPnum");
    if (c.stored) ipcfg.SetValue("dwIPnum", c.value);

    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.net[0].IPAddr = cfg.net[1].IPAddr = 0xDEAD;  // what an earlier load left
    cfg.LoadNetworks();
    EXPECT_EQ(cfg.dwIPnum, c.count);
    EXPECT_EQ(cfg.net[0].IPAddr, c.recordsLoaded ? 0x0A000005u : 0xDEADu);
    EXPECT_EQ(cfg.net[1].IPAddr, c.recordsLoaded ? 0x0B000005u : 0xDEADu);  // record B also with one network
  }
}

TEST_F(Cfginfo, FlagsKeepOnlyDhcpAndSameGateway) {
  struct Case {
    uint32_t stored, dhcp, sameGateway, saved;
  } cases[] = {
      {0x11, 1, 1, 0x11}, {0x31, 1, 1, 0x11}, {0x10, 1, 0, 0x10}, {0x01, 0, 1, 0x01}, {0xEE, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    At("IPCfg").SetValue("dwIPnum", uint32_t{2});
    At("IPCfg\\info0").SetValue("dwFlags", c.stored);
    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.LoadNetworks();
    EXPECT_EQ(cfg.net[0].useDhcp, c.dhcp);
    EXPECT_EQ(cfg.net[0].sameGateway, c.sameGateway);
    EXPECT_TRUE(cfg.SaveNetworks(kWindows2000));
    uint32_t flags = 0xFFFF;
    EXPECT_TRUE(At("IPCfg\\info0").GetValue("dwFlags", flags));
    EXPECT_EQ(flags, c.saved);
  }
}

TEST_F(Cfginfo, MacAddressNeedsSixStoredBytes) {
  // Any other size is no adapter address: it counts as absent and leaves what an earlier load
  // (or nothing: zeros) put there.
  const std::array<uint8_t, 6> before = {9, 9, 9, 9, 9, 9};
  struct Case {
    std::vector<uint8_t> stored;
    std::array<uint8_t, 6> loaded;
  } cases[] = {{{1, 2, 3, 4}, before},
               {{1, 2, 3}, before},
               {{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
               {{1, 2, 3, 4, 5, 6, 7, 8}, before},
               {std::vector<uint8_t>(1 << 20, 0x5A), before}};
  At("IPCfg").SetValue("dwIPnum", uint32_t{1});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.size());
    ASSERT_TRUE(At("IPCfg\\info0").SetValue("ucMacAddr", c.stored));
    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.net[0].ucMacAddr = before;
    cfg.LoadNetworks();
    EXPECT_EQ(cfg.net[0].ucMacAddr, c.loaded);
  }
  // At the first load there was nothing before: four bytes give six zeros.
  At("IPCfg\\info0").SetValue("ucMacAddr", std::vector<uint8_t>{1, 2, 3, 4});
  CCfginfo fresh;
  fresh.SetKeys(base);
  fresh.LoadNetworks();
  EXPECT_EQ(fresh.net[0].ucMacAddr, (std::array<uint8_t, 6>{}));
}

TEST_F(Cfginfo, OptionsTakeDefaultsAndRanges) {
  CCfginfo fresh;
  Load(fresh);
  EXPECT_EQ(fresh.dwOpt, 11u);
  EXPECT_EQ(fresh.reverse, 0u);
  uint32_t stored = 0;
  EXPECT_TRUE(At("AdOpt").GetValue("dwOpt", stored));  // the default is written at load
  EXPECT_EQ(stored, 11u);

  struct Case {
    uint32_t opt, comport, reverse, loadedComport;
  } cases[] = {{0, 9, 0, 5}, {0x1B, 5, 1, 5}, {0x10, 3, 1, 3}, {0x0B, 0, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.opt);
    At("AdOpt").SetValue("dwOpt", c.opt);
    At("AdOpt").SetValue("dwComport", c.comport);
    CCfginfo cfg;
    Load(cfg);
    EXPECT_EQ(cfg.dwOpt, c.opt);
    EXPECT_EQ(cfg.reverse, c.reverse);
    EXPECT_EQ(cfg.dwComport, c.loadedComport);
  }
}

TEST_F(Cfginfo, NetworkNamesFallBackAndAreCutToTenCharacters) {
  const std::string korean = "\xEB\x84\xA4\xED\x8A\xB8\xEC\x9B\x8C\xED\x81\xAC";  // 4 Hangul syllables
  struct Case {
    const char* what;
    std::string stored;  // empty: not stored
    std::string fileText;
    std::string shown;
  } cases[] = {
      {"nothing anywhere", "", "", "szNet0"},
      {"string file", "", "Intranet", "Intranet"},
      {"stored wins", "Inside", "Intranet", "Inside"},
      {"13 characters", "ABCDEFGHIJKLM", "", "ABCDEFGHIJ"},
      {"multi-byte characters", korean + korean + korean, "", korean + korean + korean.substr(0, 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CRegistry& adopt = At("AdOpt");
    adopt.DeleteValue("szNet0");
    if (!c.stored.empty()) adopt.SetValue("szNet0", c.stored);
    strings.Reset();
    if (!c.fileText.empty()) strings.SetValue("ADDisplay", "szNet0", c.fileText);
    CCfginfo cfg;
    Load(cfg);
    EXPECT_EQ(cfg.szNet[0], c.shown);
    EXPECT_EQ(cfg.szNet[1], "szNet1");
  }
}

TEST_F(Cfginfo, ScheduleTexts) {
  struct Case {
    const char* what;
    std::vector<const char*> texts;  // on/off, hour, minute, interval, network; null = absent
    uint32_t on;
    int32_t hour, minute;
    uint32_t intervalMs, startNetwork;
  } cases[] = {
      {"lower-case on", {"on", "7", "30", "90", "intranet"}, 1, 7, 30, 90 * 60000, 0},
      {"on with a blank is off", {"ON ", "7", "30", "90", "INTRANET"}, 0, 0, 0, 0, 0},
      {"absent start network is B", {"ON", "8", "0", "1", nullptr}, 1, 8, 0, 60000, 1},
      {"digits up to the first other character",
       {"ON", "12:30", "x5", "15min", "OUTSIDE"},
       1,
       12,
       0,
       15 * 60000,
       1},
      {"beyond the clock and 32 bits",
       {"ON", "99", "75", "99999999", "intranet"},
       1,
       23,
       59,
       71582u * 60000,
       0},
      {"all absent", {nullptr, nullptr, nullptr, nullptr, nullptr}, 0, 0, 0, 0, 1},
  };
  const char* names[] = {"AutoChangeOnOff", "AutoChangeStartHour", "AutoChangeStartMinute",
                         "AutoChangeInterval", "AutoChangeStartNetwork"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CRegistry& b = At("");
    for (int i = 0; i < 5; ++i) {
      b.DeleteValue(names[i]);
      if (c.texts[i]) b.SetValue(names[i], std::string(c.texts[i]));
    }
    CCfginfo cfg;
    cfg.SetKeys(base);
    cfg.LoadSchedule();
    EXPECT_EQ(cfg.scheduleOn, c.on);
    EXPECT_EQ(cfg.startHour, c.hour);
    EXPECT_EQ(cfg.startMinute, c.minute);
    EXPECT_EQ(cfg.scheduleInterval, c.intervalMs);
    EXPECT_EQ(cfg.startNetwork, c.startNetwork);
  }
}

TEST_F(Cfginfo, ScheduleSwitchedOffKeepsItsStartTime) {
  CCfginfo cfg;
  cfg.SetKeys(base);
  At("").SetValue("AutoChangeOnOff", std::string("ON"));
  At("").SetValue("AutoChangeStartHour", std::string("6"));
  At("").SetValue("AutoChangeInterval", std::string("10"));
  cfg.LoadSchedule();
  At("").SetValue("AutoChangeOnOff", std::string("OFF"));
  cfg.LoadSchedule();
  EXPECT_EQ(cfg.scheduleOn, 0u);
  EXPECT_EQ(cfg.scheduleInterval, 0u);
  EXPECT_EQ(cfg.startHour, 6);
}

TEST_F(Cfginfo, ValuesOfTheWrongTypeOrSizeLeaveSaneFields) {
  const uint8_t twoBytes[] = {7, 7};
  struct Bad {
    const char* key;
    const char* name;
    enum { Text, Number, ShortNumber } kind;
  } bad[] = {
      {"", "InstalledPath", Bad::Number},
      {"", "UseLang", Bad::Number},
      {"", "UseDll", Bad::Text},
      {"", "dwPktCnt", Bad::Text},
      {"", "dwPktDly", Bad::ShortNumber},
      {"", "dwInterval", Bad::Text},
      {"", "dwDebug", Bad::Text},
      {"", "dwChngTimer", Bad::Text},
      {"", "dwSilentChng", Bad::Text},
      {"", "AutoChangeOnOff", Bad::Number},
      {"", "AutoChangeStartHour", Bad::Number},
      {"", "AutoChangeStartMinute", Bad::Number},
      {"", "AutoChangeInterval", Bad::Number},
      {"", "AutoChangeStartNetwork", Bad::Number},
      {"IPCfg", "dwIPnum", Bad::ShortNumber},
      {"AdOpt", "dwOpt", Bad::Text},
      {"AdOpt", "dwAutoChange", Bad::Text},
      {"AdOpt", "dwComport", Bad::Text},
      {"AdOpt", "dwAutoLogin", Bad::ShortNumber},
      {"AdOpt", "szNet0", Bad::Number},
      {"AdOpt", "szNet1", Bad::ShortNumber},
      {"AdOpt", "szNetDrv0", Bad::Number},
      {"AdOpt", "szNetDrv1", Bad::Number},
  };
  for (const auto& b : bad) {
    CRegistry& k = At(b.key);
    if (b.kind == Bad::Text) k.SetValue(b.name, std::string("garbage"));
    if (b.kind == Bad::Number) k.SetValue(b.name, uint32_t{0x41414141});
    if (b.kind == Bad::ShortNumber) k.SetValue(b.name, CRegistry::typeDoubleWord, twoBytes, 2);
  }

  CCfginfo cfg;
  Load(cfg);
  EXPECT_EQ(cfg.InstalledPath, "");
  EXPECT_EQ(cfg.UseLang, "KOR");
  const uint32_t numbers[] = {cfg.UseDll,       cfg.dwPktCnt,    cfg.dwPktDly,     cfg.dwInterval,
                              cfg.dwDebug,      cfg.dwChngTimer, cfg.dwSilentChng, cfg.dwIPnum,
                              cfg.dwAutoChange, cfg.dwComport,   cfg.dwAutoLogin,  cfg.scheduleOn};
  for (uint32_t n : numbers) EXPECT_EQ(n, 0u);
  EXPECT_EQ(cfg.dwOpt, 11u);
  EXPECT_EQ(cfg.szNet[0], "szNet0");
  EXPECT_EQ(cfg.szNet[1], "szNet1");
  EXPECT_EQ(cfg.szNetDrv[0], "");
  EXPECT_EQ(cfg.startNetwork, 1u);

  // What was stored stays as it was.
  std::string opt;
  EXPECT_TRUE(At("AdOpt").GetValue("dwOpt", opt));
  EXPECT_EQ(opt, "garbage");
}

TEST_F(Cfginfo, RecordValuesOfTheWrongTypeLeaveSaneFields) {
  At("IPCfg").SetValue("dwIPnum", uint32_t{1});
  CRegistry& r = At("IPCfg\\info0");
  for (const char* name : {"dwFlags", "IPAddr", "NetMask", "Gateway", "szDns0", "szDns1", "szDns2"}) {
    r.SetValue(name, std::string("10.0.0.1"));
  }
  for (const char* name : {"szDomain0", "szDomain1", "szDomain2", "szBindName", "szNetDev"}) {
    r.SetValue(name, uint32_t{5});
  }
  r.SetValue("ucMacAddr", std::string("00:1B:21"));

  CCfginfo cfg;
  cfg.SetKeys(base);
  cfg.LoadNetworks();
  NetCfgRecord empty;
  ExpectSameRecord(cfg.net[0], empty);
}

TEST_F(Cfginfo, StatusCountsNetworksFromOne) {
  CCfginfo cfg;
  cfg.SetKeys(base);
  for (uint32_t network : {1u, 0u}) {
    EXPECT_TRUE(cfg.SaveStatus(network));
    uint32_t stored = 0;
    EXPECT_TRUE(At("Status").GetValue("dwNet", stored));
    EXPECT_EQ(stored, network + 1);
  }
}

TEST_F(Cfginfo, StartTimeIsTodayAtTheStartHour) {
  CCfginfo cfg;
  cfg.startHour = 6;
  cfg.startMinute = 45;
  const time_t now = std::time(nullptr);
  const time_t start = cfg.ComputeStartTime(now);
  EXPECT_EQ(cfg.nextStart, start);
  std::tm today = *std::localtime(&now);
  std::tm at = *std::localtime(&start);
  EXPECT_EQ(at.tm_year, today.tm_year);
  EXPECT_EQ(at.tm_yday, today.tm_yday);
  EXPECT_EQ(at.tm_hour, 6);
  EXPECT_EQ(at.tm_min, 45);
  EXPECT_EQ(at.tm_sec, 0);
}

}  // namespace
