// The fixed-settings address step against a recording fake of the platform that holds an
// adapter's state the way the IP helper tables show it, and refuses any one call on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "netvane/cfginfo.h"
#include "netvane/fixed_address.h"
#include "nvutil/ipv4.h"
#include "support/config_test_support.h"
#include "support/fake_fixed_address.h"

using nv::core::AdapterAddressView;
using nv::core::AdapterRef;
using nv::core::FixedAddressStep;
using nv::core::PlatformCall;
using nv::core::testing::AdapterState;
using nv::core::testing::FakePlatform;
using nv::core::testing::FakeStore;
using nv::core::testing::Ip;
using nv::core::testing::kAdapter;
using nv::core::testing::kMac;
using nv::core::testing::Refusal;
using Status = PlatformCall::Status;

namespace {

NetCfgRecord NetworkB() {
  NetCfgRecord b;
  b.IPAddr = Ip("10.92.1.50");
  b.NetMask = Ip("255.255.255.0");
  b.Gateway = Ip("10.92.1.1");
  b.dns[0] = Ip("10.92.1.53");
  b.dns[2] = Ip("10.92.1.54");
  b.ucMacAddr = kMac;
  return b;
}

const std::string kRecordB =
    std::string(kAdapter) + "|10.92.1.50|255.255.255.0|10.92.1.1|10.92.1.53|10.92.1.54";

struct Rig {
  FakePlatform platform;
  FakeStore store;
  std::vector<std::string> trace;
  FixedAddressStep step{platform, store, [this](const std::string& line) { trace.push_back(line); }};
  Rig() { store.calls = &platform.calls; }
  void RefuseAt(const Refusal& r) {
    platform.refusal = r;
    store.refusal = r;
  }
  bool HoldsB() const {
    return platform.state.manual.count(Ip("10.92.1.50")) != 0 ||
           platform.state.routes.count(Ip("10.92.1.1")) != 0 || !platform.state.nameServers.empty();
  }
};

TEST(FixedAddressRecord, FormatsAndParsesTheBarSeparatedRecord) {
  nv::core::FixedSettings s;
  s.adapter = kAdapter;
  s.address = Ip("10.92.1.50");
  s.mask = Ip("255.255.255.0");
  s.gateway = Ip("10.92.1.1");
  s.nameServers = {Ip("10.92.1.53"), Ip("10.92.1.54")};
  EXPECT_EQ(nv::core::FormatAppliedStatic(s), kRecordB);
  const auto back = nv::core::ParseAppliedStatic(kRecordB);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->adapter, kAdapter);
  EXPECT_EQ(back->gateway, s.gateway);
  EXPECT_EQ(back->nameServers, s.nameServers);
  for (const char* bad :
       {"", "|10.92.1.50|255.255.255.0|0.0.0.0", "x|10.92.1.50|255.255.255.0",
        "x|10.92.1.500|255.255.255.0|0.0.0.0", "x|0.0.0.0|255.255.255.0|0.0.0.0", "garbage"})
    EXPECT_FALSE(nv::core::ParseAppliedStatic(bad)) << bad;
}

TEST(FixedAddressStep, AppliesRecordsAndTakesOffAgain) {
  Rig rig;
  const auto applied = rig.step.Apply(NetworkB());
  ASSERT_TRUE(applied.ok) << applied.detail;
  EXPECT_EQ(rig.store.value, kRecordB);
  EXPECT_FALSE(rig.platform.state.leased);  // A's lease went first
  EXPECT_EQ(rig.platform.state.manual.at(Ip("10.92.1.50")), Ip("255.255.255.0"));
  EXPECT_EQ(rig.platform.state.nameServers, (std::vector<uint32_t>{Ip("10.92.1.53"), Ip("10.92.1.54")}));
  const std::vector<std::string> order = {"store.Read",     "FindAdapterByMac", "store.Write",
                                          "ReleaseLease",   "AddAddress",       "AddDefaultRoute",
                                          "SetNameServers", "ReadAddresses"};
  EXPECT_EQ(rig.platform.calls, order);

  ASSERT_TRUE(rig.step.BackToDhcp().ok);
  EXPECT_TRUE(rig.platform.state.Clean());
  EXPECT_FALSE(rig.store.value);
  // Idempotent: nothing of ours left, nothing is touched.
  rig.platform.calls.clear();
  EXPECT_TRUE(rig.step.BackToDhcp().ok);
  EXPECT_EQ(rig.platform.calls, std::vector<std::string>{"store.Read"});
  EXPECT_EQ(rig.step.Recover(NetworkB()), "");
}

// Every call of a change to B, back to A and a later start refusing in turn.
TEST(FixedAddressStep, EveryRefusalLeavesDhcpBackOrTheRecordForRecovery) {
  enum Phase { ToB, BackToA };
  struct Row {
    Refusal refusal;
    Phase phase;
    const char* said;  // what the failure says; empty: a transient refusal the step outlasts
  };
  const std::vector<Row> table = {
      {{"store.Read"}, ToB, "the record szAppliedStatic could not be read"},
      {{"FindAdapterByMac"}, ToB, "FindAdapterByMac refused (error 5)"},
      {{"store.Write"}, ToB, "the record szAppliedStatic could not be written"},
      // A's address would stay beside B's: the read-back sees it, the release is named.
      {{"ReleaseLease"},
       ToB,
       "still holds 10.91.1.128 after 5000 ms; the lease was not released: ReleaseLease"},
      {{"AddAddress"}, ToB, "AddAddress refused (error 5)"},
      {{"AddAddress", 1, Status::Missing}, ToB, "AddAddress is not available on this system"},
      {{"AddDefaultRoute"}, ToB, "AddDefaultRoute refused (error 5)"},
      {{"SetNameServers"}, ToB, "SetNameServers refused (error 5)"},
      {{"ReadAddresses"}, ToB, ""},  // read again within the bounded wait
      {{"store.Read", 2}, BackToA, "the record szAppliedStatic could not be read"},
      {{"FindAdapterByName"}, BackToA, "FindAdapterByName refused (error 5)"},
      {{"ClearNameServers"}, BackToA, "ClearNameServers refused (error 5)"},
      {{"RemoveDefaultRoute"}, BackToA, "RemoveDefaultRoute refused (error 5)"},
      {{"RemoveAddress"}, BackToA, "RemoveAddress refused (error 5)"},
      {{"store.Clear"}, BackToA, "the record szAppliedStatic could not be cleared"},
  };
  std::set<std::string> covered;
  for (const Row& row : table) {
    SCOPED_TRACE(row.refusal.call + (row.refusal.status == Status::Missing ? " missing" : " refused"));
    covered.insert(row.refusal.call);
    Rig rig;
    rig.RefuseAt(row.refusal);
    const bool fails = row.said[0] != '\0';
    const auto toB = rig.step.Apply(NetworkB());
    EXPECT_EQ(toB.ok, !(row.phase == ToB && fails)) << toB.detail;
    if (!toB.ok) {
      EXPECT_NE(toB.detail.find(row.said), std::string::npos) << toB.detail;
      EXPECT_FALSE(rig.HoldsB()) << "half-applied settings stay after a failure";
    }
    const auto backToA = rig.step.BackToDhcp();
    EXPECT_EQ(backToA.ok, !(row.phase == BackToA && fails)) << backToA.detail;
    if (!backToA.ok) {
      EXPECT_NE(backToA.detail.find(row.said), std::string::npos) << backToA.detail;
    }
    const bool recorded = rig.store.value.has_value();
    // Either DHCP is back (nothing of ours on the adapter, no record) or the record stays.
    if (!recorded) {
      EXPECT_TRUE(rig.platform.state.Clean());
    } else {
      EXPECT_EQ(*rig.store.value, kRecordB);
    }
    // The next start undoes whatever a record names, with nothing refusing then.
    rig.RefuseAt({});
    const std::string line = rig.step.Recover(NetworkB());
    if (recorded) {
      EXPECT_EQ(line.rfind("RECOVER fixed settings of an interrupted change taken off", 0), 0u) << line;
    } else {
      EXPECT_EQ(line, "");
    }
    EXPECT_TRUE(rig.platform.state.Clean());
    EXPECT_FALSE(rig.store.value);
  }
  // Every call the step makes is in the table.
  Rig clean;
  ASSERT_TRUE(clean.step.Apply(NetworkB()).ok);
  ASSERT_TRUE(clean.step.BackToDhcp().ok);
  for (const std::string& call : clean.platform.calls) EXPECT_EQ(covered.count(call), 1u) << call;
}

TEST(FixedAddressStep, BetweenTwoFixedNetworksTheSettingsOfTheNetworkLeftComeOffFirst) {
  Rig rig;
  NetCfgRecord a = NetworkB();
  a.IPAddr = Ip("10.91.1.50");
  a.Gateway = Ip("10.91.1.1");
  a.dns[0] = a.dns[2] = 0;
  ASSERT_TRUE(rig.step.Apply(a).ok);
  ASSERT_TRUE(rig.step.Apply(NetworkB()).ok);
  EXPECT_EQ(rig.platform.state.manual.count(Ip("10.91.1.50")), 0u);
  EXPECT_EQ(rig.platform.state.routes, std::set<uint32_t>{Ip("10.92.1.1")});
  EXPECT_EQ(rig.store.value, kRecordB);

  // A's settings that cannot come off are not recorded over: B is not applied.
  Rig stuck;
  ASSERT_TRUE(stuck.step.Apply(a).ok);
  stuck.RefuseAt({"RemoveAddress"});
  const auto refused = stuck.step.Apply(NetworkB());
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(
      refused.detail.find("those of the network left stay: fixed settings not taken off: RemoveAddress"),
      std::string::npos)
      << refused.detail;
  EXPECT_EQ(stuck.store.value, "{5D1F2A3B-0000-4E76-A000-000000000001}|10.91.1.50|255.255.255.0|10.91.1.1");
  EXPECT_FALSE(stuck.HoldsB());
}

TEST(FixedAddressStep, ReadBackThatNeverShowsTheAddressFailsAfterTheBoundedWait) {
  // A stack that answers success without effect (as an emulation may).
  class SilentAdd : public FakePlatform {
    PlatformCall AddAddress(const AdapterRef&, uint32_t, uint32_t) override {
      return PlatformCall::Done("AddIPAddress");
    }
  };
  SilentAdd platform;
  FakeStore store;
  store.calls = &platform.calls;
  FixedAddressStep step(platform, store, [](const std::string&) {});
  NetCfgRecord b = NetworkB();
  b.Gateway = 0;  // (a gateway would be refused already: its subnet is not on the adapter)
  const auto result = step.Apply(b);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.detail.find("does not show 10.92.1.50/255.255.255.0 after 5000 ms"), std::string::npos)
      << result.detail;
  EXPECT_EQ(platform.slept, nv::core::kVerifyWaitMs);
  EXPECT_EQ(store.value, std::string(kAdapter) + "|10.92.1.50|255.255.255.0|0.0.0.0|10.92.1.53|10.92.1.54");
}

TEST(FixedAddressStep, RecoveryOfARecordThatDoesNotParseResetsTheConfiguredAdapter) {
  Rig rig;  // a DHCP lease beside what was set by hand: the lease stays
  rig.platform.state.manual[Ip("10.92.1.50")] = Ip("255.255.255.0");
  rig.platform.state.routes.insert(Ip("10.92.1.1"));
  rig.platform.state.nameServers = {Ip("10.92.1.53")};
  rig.store.value = "left by hand";
  const std::string line = rig.step.Recover(NetworkB());
  EXPECT_EQ(line.rfind("RECOVER", 0), 0u) << line;
  EXPECT_NE(line.find("\"left by hand\""), std::string::npos) << line;
  EXPECT_TRUE(rig.platform.state.Clean());
  EXPECT_TRUE(rig.platform.state.leased);
  EXPECT_FALSE(rig.store.value);
  EXPECT_NE(std::find(rig.trace.begin(), rig.trace.end(),
                      "the record szAppliedStatic does not parse: \"left by hand\""),
            rig.trace.end());

  // An adapter that cannot be found keeps the record for the next start.
  Rig gone;
  gone.platform.adapterPresent = false;
  gone.store.value = "left by hand";
  EXPECT_EQ(gone.step.Recover(NetworkB()).rfind("RECOVER FAILED", 0), 0u);
  EXPECT_EQ(gone.store.value, "left by hand");
}

TEST(FixedAddressStore, RecordLivesUnderIPCfgAsAString) {
  CCfginfo cfg;
  cfg.SetKeys(cfgtest::ScratchBaseKey());
  const auto store = nv::core::MakeRegistryAppliedStaticStore(cfg);
  std::string text;
  bool present = true;
  ASSERT_TRUE(store->Read(text, present));
  EXPECT_FALSE(present);
  EXPECT_TRUE(store->Clear());  // nothing to clear is not a failure
  ASSERT_TRUE(store->Write(kRecordB));
  CRegistry reg;
  ASSERT_TRUE(reg.uOpenKey(corekit::kHKeyLocalMachine, cfg.ipCfgKey.c_str()));
  std::string stored;
  ASSERT_TRUE(reg.GetStringValue("szAppliedStatic", stored));
  EXPECT_EQ(stored, kRecordB);
  reg.Close();
  ASSERT_TRUE(store->Read(text, present));
  EXPECT_TRUE(present);
  EXPECT_EQ(text, kRecordB);
  ASSERT_TRUE(store->Clear());
  ASSERT_TRUE(store->Read(text, present));
  EXPECT_FALSE(present);
  EXPECT_TRUE(cfgtest::DeleteScratchTree());
}

}  // namespace
