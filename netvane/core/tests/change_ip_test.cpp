#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"
#include "nvutil/net_util.h"
#include "support/fake_fixed_address.h"

using nv::core::DottedAddress;
using Calls = std::vector<std::string>;

namespace {

constexpr uint8_t kMac[6] = {0x02, 0x6e, 0x76, 0x00, 0x00, 0x01};

class FakeNet : public CNetUtil {
 public:
  explicit FakeNet(Calls& c, uint32_t ifnum) : c_(c), ifnum_(ifnum) {}
  int DelArpEnt(const char* a, const char* i) noexcept override {
    c_.push_back(std::string("net.DelArpEnt ") + a + (i ? " if" : ""));
    return 1;
  }
  int AddGWEntry(const char* d, const char* m, const char* g, const char*,
                 std::uint32_t metric) noexcept override {
    c_.push_back(std::string("net.AddGWEntry ") + d + " " + m + " " + g + " " + std::to_string(metric));
    return 1;
  }
  int AddGWEntryVista(const char* d, const char* m, const char* g, const char*,
                      std::uint32_t metric) noexcept override {
    c_.push_back(std::string("net.AddGWEntryVista ") + d + " " + m + " " + g + " " + std::to_string(metric));
    return 1;
  }
  int DelGWEntry(const char* d) noexcept override {
    c_.push_back(std::string("net.DelGWEntry ") + d);
    return 1;
  }
  std::uint32_t GetInterfaceNum(const nvutil::MacAddress&) noexcept override {
    c_.push_back("net.GetInterfaceNum");
    return ifnum_;
  }
  int LeaseIP(std::uint32_t n, int renew) noexcept override {
    c_.push_back("net.LeaseIP " + std::to_string(n) + " " + std::to_string(renew));
    if (renew && whileRenewing) whileRenewing();
    // The real wait gives up as soon as the cancel says so, and the renew fails.
    if (renew && cancel_ && cancel_()) {
      c_.push_back("net.renew wait given up");
      return 0;
    }
    // Like the real helper: a renew that gets no answer, or no DHCP client to ask, fails.
    return (renew ? renewAnswered : releaseWorks) ? 1 : 0;
  }
  void SetRenewCancel(std::function<bool()> cancel) override { cancel_ = std::move(cancel); }
  int ClearAdapter(std::uint32_t n) noexcept override {
    c_.push_back("net.ClearAdapter " + std::to_string(n));
    return clearWorks ? 1 : 0;
  }

  std::function<void()> whileRenewing;
  bool renewAnswered = true;
  bool releaseWorks = true;
  bool clearWorks = true;

 private:
  std::function<bool()> cancel_;
  Calls& c_;
  uint32_t ifnum_;
};

class FakeEmu : public nv::core::IDhcpEmulation {
 public:
  explicit FakeEmu(Calls& c, _uIPINFO& seen) : c_(c), seen_(seen) {}
  int DrvOpen() noexcept override {
    c_.push_back("emu.DrvOpen");
    return 7;
  }
  int SetStartDHCP(const _uIPINFO& info) noexcept override {
    seen_ = info;
    c_.push_back("emu.SetStartDHCP");
    return startRefused ? 0 : 1;
  }
  int SetEndDHCP() noexcept override {
    c_.push_back("emu.SetEndDHCP");
    return 1;
  }
  int DrvClose() noexcept override {
    c_.push_back("emu.DrvClose");
    return 1;
  }
  std::string LastError() const override { return startRefused ? "cannot answer" : ""; }
  uint32_t DeclinedAddress() const noexcept override { return declined; }
  std::string RemoveStale(const unsigned char (&)[6]) noexcept override {
    c_.push_back("emu.RemoveStale");
    std::string left;
    left.swap(staleLeft);  // what a dead run left goes once
    return left;
  }

  bool startRefused = false;
  uint32_t declined = 0;  // set while the renew runs: the client declined the address
  std::string staleLeft;

 private:
  Calls& c_;
  _uIPINFO& seen_;
};

class FakeWinIpCfg : public nv::core::IWinIpCfgWindow {
 public:
  explicit FakeWinIpCfg(Calls& c) : c_(c) {}
  std::vector<std::string> adapters = {"00-11-22-33-44-55", "02-6E-76-00-00-01"};
  std::string ip = "10.1.1.5";
  bool releaseEnabled = true;
  bool opens = true;
  int selected = -1;  // nothing selected yet: the tool shows its first adapter

  bool Open() override { return opens; }
  int AdapterCount() override { return static_cast<int>(adapters.size()); }
  void SelectAdapter(int i) override {
    selected = i;
    c_.push_back("ipcfg.Select " + std::to_string(i));
  }
  std::string AdapterAddress() override { return adapters[selected < 0 ? 0 : selected]; }
  std::string IpAddress() override { return ip; }
  bool ReleaseEnabled() override { return releaseEnabled; }
  void PressRelease() override { c_.push_back("ipcfg.Release"); }
  void PressRenew() override { c_.push_back("ipcfg.Renew"); }

 private:
  Calls& c_;
};

class FakeEnv : public nv::core::ChangeIpEnvironment {
 public:
  explicit FakeEnv(Calls& c) : c_(c), window(c) {}
  void Sleep(uint32_t ms) noexcept override { c_.push_back("sleep " + std::to_string(ms)); }
  bool RunTool(const std::string& p, const std::string& a, uint32_t w) noexcept override {
    c_.push_back("run " + p + " " + a + " " + std::to_string(w));
    return true;
  }
  nv::core::IWinIpCfgWindow* WinIpCfg() noexcept override { return &window; }

 private:
  Calls& c_;

 public:
  FakeWinIpCfg window;
};

struct Rig {
  Calls calls;
  _uIPINFO seen{};
  CCfginfo cfg;
  FakeEnv env{calls};
  std::unique_ptr<CChangeIP> ip;
  FakeEmu* emu = nullptr;
  FakeNet* net = nullptr;

  explicit Rig(const std::string& version, uint32_t major = 5, uint32_t ifnum = 12) {
    cfg.dwIPnum = 2;
    cfg.net[0].szBindName = "\\Device\\RgateII_{A1B2}";
    auto fakeEmu = std::make_unique<FakeEmu>(calls, seen);
    emu = fakeEmu.get();
    auto fakeNet = std::make_unique<FakeNet>(calls, ifnum);
    net = fakeNet.get();
    ip = std::make_unique<CChangeIP>(cfg, nv::core::OsFacts{version, major}, std::move(fakeNet),
                                     std::move(fakeEmu), env);
  }
};

NetCfgRecord FixedRecord() {
  NetCfgRecord r{};
  r.useDhcp = 0;
  r.IPAddr = 0x0A5C0132;   // 10.92.1.50
  r.NetMask = 0xFFFFFF00;  // 255.255.255.0
  r.Gateway = 0x0A5C0101;  // 10.92.1.1
  r.dns[0] = 0x0A5C0135;   // 10.92.1.53
  r.dns[1] = 0x08080808;
  std::copy(std::begin(kMac), std::end(kMac), r.ucMacAddr.begin());
  return r;
}

}  // namespace

TEST(ChangeIp, FixedSettingsStartTheEmulationBeforeReleaseAndStopItAfterRenew) {
  Rig rig("WINXP");
  EXPECT_EQ(rig.ip->ChangeIPbyDHCP(FixedRecord()), 0);
  const Calls expected = {"emu.RemoveStale", "net.GetInterfaceNum", "emu.SetStartDHCP",
                          "sleep 1500",      "net.LeaseIP 12 0",    "net.ClearAdapter 12",
                          "sleep 1500",      "net.LeaseIP 12 1",    "emu.SetEndDHCP"};
  EXPECT_EQ(rig.calls, expected);
  EXPECT_EQ(rig.seen.dwIPAddr, 0x0A5C0132u);
  EXPECT_EQ(rig.seen.dwSubnetMask, 0xFFFFFF00u);
  EXPECT_EQ(rig.seen.dwGateway, 0x0A5C0101u);
  EXPECT_STREQ(rig.seen.szDns, "10.92.1.53");
  EXPECT_EQ(0, std::memcmp(rig.seen.ucMacAddr, kMac, 6));
  EXPECT_FALSE(rig.ip->emulating());
}

TEST(ChangeIp, NoAddressOfTheTargetLeavesTheAdapterReleasedAndCleared) {
  // What the address step does when the target's address cannot be obtained, per method.
  struct Case {
    const char* version;
    bool dhcp, emulationRefuses, renewAnswered;
    int result;
    Calls expected;
  } cases[] = {
      {"WINXP",
       false,
       true,
       true,
       CChangeIP::kEmulationFailed,
       // Nothing would answer a renew: no renew, but the old address must go.
       {"emu.RemoveStale", "net.GetInterfaceNum", "emu.SetStartDHCP", "emu.SetEndDHCP", "net.LeaseIP 12 0",
        "net.ClearAdapter 12"}},
      {"WINNT",
       false,
       true,
       true,
       CChangeIP::kEmulationFailed,
       {"emu.RemoveStale", "emu.SetStartDHCP", "emu.SetEndDHCP", "run IPCONFIG.EXE /RELEASE {A1B2} 10000"}},
      {"WIN95",
       false,
       true,
       true,
       CChangeIP::kEmulationFailed,
       {"emu.RemoveStale", "emu.SetStartDHCP", "emu.SetEndDHCP", "ipcfg.Select 0", "ipcfg.Select 1",
        "ipcfg.Release"}},
      {"WINXP",
       true,
       false,
       false,
       CChangeIP::kRenewFailed,
       {"emu.RemoveStale", "net.GetInterfaceNum", "sleep 1500", "net.LeaseIP 12 0", "net.ClearAdapter 12",
        "sleep 1500", "net.LeaseIP 12 1", "emu.SetEndDHCP", "net.LeaseIP 12 0", "net.ClearAdapter 12"}},
      {"VISTA",
       false,
       false,
       false,
       CChangeIP::kRenewFailed,
       {"emu.RemoveStale", "net.GetInterfaceNum", "emu.SetStartDHCP", "sleep 1500", "net.LeaseIP 12 0",
        "net.ClearAdapter 12", "sleep 1500", "net.LeaseIP 12 1", "emu.SetEndDHCP", "net.LeaseIP 12 0",
        "net.ClearAdapter 12"}},
      {"WINXP",
       true,
       false,
       true,
       CChangeIP::kAddressesChanged,
       {"emu.RemoveStale", "net.GetInterfaceNum", "sleep 1500", "net.LeaseIP 12 0", "net.ClearAdapter 12",
        "sleep 1500", "net.LeaseIP 12 1", "emu.SetEndDHCP"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + (c.dhcp ? " dhcp" : " fixed") + " result " +
                 std::to_string(c.result));
    Rig rig(c.version);
    rig.emu->startRefused = c.emulationRefuses;
    rig.net->renewAnswered = c.renewAnswered;
    NetCfgRecord r = FixedRecord();
    r.useDhcp = c.dhcp ? 1 : 0;
    EXPECT_EQ(rig.ip->ChangeIPbyDHCP(r), c.result);
    EXPECT_EQ(rig.calls, c.expected);
    EXPECT_FALSE(rig.ip->emulating());
  }
}

TEST(ChangeIp, ADeclinedAddressEndsTheRenewWaitAndFailsTheStepNamingTheAddress) {
  Rig rig("WINXP");
  rig.net->whileRenewing = [&] { rig.emu->declined = FixedRecord().IPAddr; };
  EXPECT_EQ(rig.ip->ChangeIPbyDHCP(FixedRecord()), CChangeIP::kAddressInUse);
  EXPECT_EQ(rig.ip->AddressFailure(),
            "address " + DottedAddress(FixedRecord().IPAddr) + " is in use on this network");
  // Fails closed: the address the emulation could not hand out is no reason to keep the old one.
  const Calls expected = {"emu.RemoveStale", "net.GetInterfaceNum", "emu.SetStartDHCP",
                          "sleep 1500",      "net.LeaseIP 12 0",    "net.ClearAdapter 12",
                          "sleep 1500",      "net.LeaseIP 12 1",    "net.renew wait given up",
                          "emu.SetEndDHCP",  "net.LeaseIP 12 0",    "net.ClearAdapter 12"};
  EXPECT_EQ(rig.calls, expected);

  rig.emu->declined = 0;  // the next change starts clean
  rig.calls.clear();
  rig.net->whileRenewing = nullptr;
  EXPECT_EQ(rig.ip->ChangeIPbyDHCP(FixedRecord()), CChangeIP::kAddressesChanged);
  EXPECT_EQ(rig.ip->AddressFailure(), "");
}

TEST(ChangeIp, ClearingAfterwardsReportsWhetherEverythingWent) {
  struct Case {
    bool releaseWorks, clearWorks;
    int result;
  } cases[] = {{true, true, 1}, {false, true, 0}, {true, false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.releaseWorks) + std::to_string(c.clearWorks));
    Rig rig("WINXP");
    rig.net->releaseWorks = c.releaseWorks;
    rig.net->clearWorks = c.clearWorks;
    EXPECT_EQ(rig.ip->ClearAddresses(FixedRecord()), c.result);
    EXPECT_EQ(rig.calls, (Calls{"net.GetInterfaceNum", "net.LeaseIP 12 0", "net.ClearAdapter 12"}));
  }
  Rig unknown("WINXP", 5, 0);  // no adapter with the record's MAC: nothing to clear, and it says so
  EXPECT_EQ(unknown.ip->ClearAddresses(FixedRecord()), 0);
  EXPECT_EQ(unknown.calls, Calls{"net.GetInterfaceNum"});
}

// Where fixed settings are set on the adapter itself (Windows), clearing takes them off with their
// record first: neither they nor their name servers come back, and the next start finds nothing
// to recover. Settings that cannot come off keep their record, and the clear says it failed.
TEST(ChangeIp, ClearingTakesOffTheFixedSettingsThisProgramSet) {
  using nv::core::testing::Refusal;
  struct Case {
    const char* what;
    Refusal refusal;
    int result;
    bool settingsGone;
  } cases[] = {{"all goes", {}, 1, true},
               {"the address stays", {"RemoveAddress"}, 0, false},
               {"the record stays", {"store.Clear"}, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig("WINXP");
    auto platform = std::make_unique<nv::core::testing::FakePlatform>();
    auto store = std::make_unique<nv::core::testing::FakeStore>();
    auto* adapter = platform.get();
    auto* record = store.get();
    store->calls = &adapter->calls;
    rig.ip->UseFixedAddressStep(std::move(platform), std::move(store));
    ASSERT_EQ(rig.ip->ChangeIPbyDHCP(FixedRecord()), CChangeIP::kAddressesChanged);
    ASSERT_FALSE(adapter->state.Clean());
    adapter->refusal = c.refusal;
    record->refusal = c.refusal;
    adapter->calls.clear();
    rig.calls.clear();

    EXPECT_EQ(rig.ip->ClearAddresses(FixedRecord()), c.result);
    EXPECT_EQ(adapter->state.Clean(), c.settingsGone);
    EXPECT_EQ(record->value.has_value(), !c.settingsGone || c.result == 0);
    // The lease and whatever else the adapter holds go in any case.
    EXPECT_EQ(rig.calls, (Calls{"net.GetInterfaceNum", "net.LeaseIP 12 0", "net.ClearAdapter 12"}));
  }
}

TEST(ChangeIp, AnEmulationThatRefusesToArmSaysWhy) {
  Rig rig("WINXP");
  rig.emu->startRefused = true;
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  EXPECT_EQ(rig.ip->EmulationError(), "cannot answer");
}

TEST(ChangeIp, DhcpNetworkStartsNothingButStillStopsTheEmulation) {
  Rig rig("WIN2000S");
  NetCfgRecord r = FixedRecord();
  r.useDhcp = 1;
  rig.ip->ChangeIPbyDHCP(r);
  const Calls expected = {"emu.RemoveStale",  "net.GetInterfaceNum", "sleep 1500",
                          "net.LeaseIP 12 0", "net.ClearAdapter 12", "sleep 1500",
                          "net.LeaseIP 12 1", "emu.SetEndDHCP"};
  EXPECT_EQ(rig.calls, expected);
}

TEST(ChangeIp, UnknownAdapterSkipsTheAddressChangeAndRetriesNextTime) {
  Rig rig("WINXP", 5, 0);
  EXPECT_EQ(rig.ip->ChangeIPbyDHCP(FixedRecord()), 1);
  EXPECT_EQ(rig.calls, (Calls{"emu.RemoveStale", "net.GetInterfaceNum"}));
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  EXPECT_EQ(rig.calls,
            (Calls{"emu.RemoveStale", "net.GetInterfaceNum", "emu.RemoveStale", "net.GetInterfaceNum"}));
}

TEST(ChangeIp, InterfaceNumberIsLookedUpOnceAndKept) {
  Rig rig("VISTA", 6);
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  EXPECT_EQ(std::count(rig.calls.begin(), rig.calls.end(), "net.GetInterfaceNum"), 1);
  EXPECT_EQ(rig.ip->interfaceNumber(), 12u);
}

TEST(ChangeIp, Nt4RunsTheToolWithTheServiceName) {
  Rig rig("WINNT", 4);
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  const Calls expected = {"emu.RemoveStale", "emu.SetStartDHCP",
                          "sleep 1500",      "run IPCONFIG.EXE /RELEASE {A1B2} 10000",
                          "sleep 1500",      "run IPCONFIG.EXE /RENEW {A1B2} 60000",
                          "emu.SetEndDHCP"};
  EXPECT_EQ(rig.calls, expected);
}

TEST(ChangeIp, Win98AndMeUseTheHelperLikeTheNtFamily) {
  for (const char* v : {"WIN98", "WINME"}) {
    SCOPED_TRACE(v);
    Rig rig(v);
    rig.ip->ChangeIPbyDHCP(FixedRecord());
    EXPECT_NE(std::find(rig.calls.begin(), rig.calls.end(), "net.LeaseIP 12 1"), rig.calls.end());
  }
}

TEST(ChangeIp, Win95DrivesTheToolWindowToOurAdapter) {
  Rig rig("WIN95");
  rig.ip->ChangeIPbyDHCP(FixedRecord());
  const Calls expected = {"emu.RemoveStale", "emu.SetStartDHCP", "sleep 1500",
                          "sleep 1500",      "ipcfg.Select 0",   "ipcfg.Select 1",
                          "ipcfg.Release",   "ipcfg.Renew",      "emu.SetEndDHCP"};
  EXPECT_EQ(rig.calls, expected);
}

TEST(ChangeIp, Win95ToolRules) {
  struct Case {
    const char* name;
    std::string ip;
    bool releaseEnabled;
    std::vector<std::string> adapters;
    Calls presses;
  } cases[] = {
      {"empty address: renew only", "0.0.0.0", true, {"02-6e-76-00-00-01"}, {"ipcfg.Renew"}},
      {"release disabled: nothing", "10.1.1.5", false, {"02-6e-76-00-00-01"}, {}},
      {"adapter not listed: nothing", "10.1.1.5", true, {"aa-aa-aa-aa-aa-aa"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig("WIN95");
    rig.env.window.ip = c.ip;
    rig.env.window.releaseEnabled = c.releaseEnabled;
    rig.env.window.adapters = c.adapters;
    rig.ip->ChangeIPbyDHCP(FixedRecord());
    Calls presses;
    for (const auto& call : rig.calls)
      if (call == "ipcfg.Release" || call == "ipcfg.Renew") presses.push_back(call);
    EXPECT_EQ(presses, c.presses);
  }
}

TEST(ChangeIp, RouteCallsUseDottedTextAndTheVistaVariantOnMajorSix) {
  for (uint32_t major : {5u, 6u}) {
    SCOPED_TRACE(major);
    Rig rig("WINXP", major);
    rig.ip->DelGateway();
    rig.ip->DelArp(0x0A5C0101);
    rig.ip->AddGateway(0x0A5C0101);
    const Calls expected = {
        "net.DelGWEntry 0.0.0.0", "net.DelArpEnt 10.92.1.1",
        std::string(major == 6 ? "net.AddGWEntryVista" : "net.AddGWEntry") + " 0.0.0.0 0.0.0.0 10.92.1.1 1"};
    EXPECT_EQ(rig.calls, expected);
  }
}

TEST(ChangeIp, EmulationOpensOnlyWithTwoNetworks) {
  Rig rig("WINXP");
  EXPECT_EQ(rig.ip->OpenDhcpEmu(), 7);
  rig.cfg.dwIPnum = 1;
  EXPECT_EQ(rig.ip->OpenDhcpEmu(), 1);
  EXPECT_EQ(std::count(rig.calls.begin(), rig.calls.end(), "emu.DrvOpen"), 1);
}

TEST(ChangeIp, WhatADeadRunLeftIsRemovedAtStartAndBeforeEveryChange) {
  struct Case {
    const char* name;
    bool atOpen;
    int ipNum;
  } cases[] = {
      {"start-up, two networks", true, 2}, {"start-up, one network", true, 1}, {"a change", false, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig("WINXP");
    rig.cfg.dwIPnum = c.ipNum;
    std::copy(std::begin(kMac), std::end(kMac), rig.cfg.net[0].ucMacAddr.begin());
    rig.cfg.net[1].ucMacAddr = rig.cfg.net[0].ucMacAddr;
    rig.emu->staleLeft = "tc filter prio 49067 on eth0";
    if (c.atOpen) {
      rig.ip->OpenDhcpEmu();
    } else {
      rig.ip->ChangeIPbyDHCP(FixedRecord());
    }
    ASSERT_FALSE(rig.calls.empty());
    EXPECT_EQ(rig.calls.front(), "emu.RemoveStale") << "before anything else";
    EXPECT_EQ(std::count(rig.calls.begin(), rig.calls.end(), "emu.RemoveStale"), 1) << "one adapter, once";
    EXPECT_TRUE(rig.emu->staleLeft.empty());
  }
}

TEST(ChangeIp, DottedAddressPutsTheFirstOctetFirst) {
  EXPECT_EQ(DottedAddress(0xC0A80001), "192.168.0.1");
  EXPECT_EQ(DottedAddress(0), "0.0.0.0");
  EXPECT_EQ(DottedAddress(0xFFFFFFFF), "255.255.255.255");
}
