// The IP configuration dialogs' rules: what opens, what a click changes, what OK stores.
#include "netvane/ip_config_form.h"

#include <gtest/gtest.h>

namespace {

// The dialogs apply to a copy of the settings in force and save that; here the copy is put in
// force at once, so the tests read the records where the program later finds them.
template <typename F>
void Apply(CCfginfo& cfg, F&& apply) {
  NetworkSettings next = cfg.Networks();
  apply(next);
  cfg.net[0] = next.net[0];
  cfg.net[1] = next.net[1];
  cfg.dwIPnum = next.dwIPnum;
}

using nv::ui::AdapterChoice;

constexpr uint32_t Ip(int a, int b, int c, int d) {
  return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d);
}

TEST(IpConfigForm, PickAdapterTakesTheLastNameEqualWithoutCaseElseTheFirst) {
  struct Case {
    std::vector<std::string> names;
    std::string stored;
    int expected;
  } cases[] = {
      {{"Intel PRO", "Realtek 8139", "intel pro"}, "INTEL PRO", 2},
      {{"Intel PRO", "Realtek 8139"}, "Realtek 8139", 1},
      {{"Intel PRO", "Realtek 8139"}, "gone adapter", 0},
      {{}, "Intel PRO", 0},
      {{"Intel PRO"}, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(nv::ui::PickAdapter(c.names, c.stored), c.expected);
  }
}

TEST(IpConfigForm, Ip1SameGatewayClickAndOk) {
  struct Case {
    const char* name;
    uint32_t gwA, gwB;
    bool ticked;
    uint32_t fieldA, fieldB;  // fields after the click
    uint32_t savedA, savedB;  // records after OK
  } cases[] = {
      {"ticked takes A's gateway", Ip(10, 0, 0, 1), Ip(172, 16, 0, 1), true, Ip(10, 0, 0, 1), 0,
       Ip(10, 0, 0, 1), 0},
      {"ticked with A empty takes B's", 0, Ip(172, 16, 0, 1), true, Ip(172, 16, 0, 1), 0, Ip(172, 16, 0, 1),
       0},
      {"ticked with both empty", 0, 0, true, 0, 0, 0, 0},
      {"unticked keeps both", Ip(10, 0, 0, 1), Ip(172, 16, 0, 1), false, Ip(10, 0, 0, 1), Ip(172, 16, 0, 1),
       Ip(10, 0, 0, 1), Ip(172, 16, 0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    nv::ui::Ip1Form form;
    form.gateway[0] = c.gwA;
    form.gateway[1] = c.gwB;
    form.sameGateway = c.ticked;
    form = nv::ui::Ip1SameGatewayClicked(form);
    EXPECT_EQ(form.gateway[0], c.fieldA);
    EXPECT_EQ(form.gateway[1], c.fieldB);
    EXPECT_EQ(nv::ui::Ip1GatewayBEnabled(form), !c.ticked);

    CCfginfo cfg;
    cfg.net[1].Gateway = Ip(1, 2, 3, 4);
    Apply(cfg, [&](NetworkSettings& next) { nv::ui::Ip1Apply(form, nullptr, next); });
    EXPECT_EQ(cfg.net[0].Gateway, c.savedA);
    EXPECT_EQ(cfg.net[1].Gateway, c.savedB);
    EXPECT_EQ(cfg.net[1].sameGateway, c.ticked ? 1u : 0u);
    EXPECT_EQ(cfg.dwIPnum, 1u);
  }
}

TEST(IpConfigForm, Ip1OkClearsTheAddressKeepsDhcpAndOtherServersAndTakesTheAdapter) {
  CCfginfo cfg;
  for (NetCfgRecord& r : cfg.net) {
    r.IPAddr = Ip(192, 168, 1, 5);
    r.NetMask = Ip(255, 255, 255, 0);
    r.dns[0] = Ip(192, 168, 1, 2);
    r.dns[1] = Ip(192, 168, 1, 3);
    r.domain[0] = "corp";
    r.domain[1] = "second";
    r.useDhcp = 1;
  }
  cfg.dwIPnum = 2;
  NetCfgRecord open[2] = {cfg.net[0], cfg.net[1]};
  open[0].Gateway = Ip(10, 0, 0, 1);
  open[0].sameGateway = 1;
  const nv::ui::Ip1Form form = nv::ui::Ip1Open(open);
  EXPECT_TRUE(form.sameGateway);
  EXPECT_EQ(form.gateway[0], Ip(10, 0, 0, 1));

  const AdapterChoice adapter{"Intel PRO", "\\Device\\RgateII_{A}", {0, 0x1B, 0x21, 1, 2, 3}};
  Apply(cfg, [&](NetworkSettings& next) { nv::ui::Ip1Apply(form, &adapter, next); });
  for (int n = 0; n < 2; ++n) {
    SCOPED_TRACE(n);
    const NetCfgRecord& r = cfg.net[n];
    EXPECT_EQ(r.IPAddr, 0u);
    EXPECT_EQ(r.NetMask, 0u);
    EXPECT_EQ(r.dns[0], 0u);
    EXPECT_EQ(r.dns[1], Ip(192, 168, 1, 3));
    EXPECT_EQ(r.domain[0], "");
    EXPECT_EQ(r.domain[1], "second");
    EXPECT_EQ(r.useDhcp, 1u);
    EXPECT_EQ(r.szNetDev, "Intel PRO");
    EXPECT_EQ(r.szBindName, "\\Device\\RgateII_{A}");
    EXPECT_EQ(r.ucMacAddr, adapter.mac);
  }
  EXPECT_EQ(cfg.net[1].Gateway, 0u);  // same gateway: B's is stored as 0
  EXPECT_EQ(cfg.dwIPnum, 1u);

  Apply(cfg, [&](NetworkSettings& next) { nv::ui::Ip1Apply(form, nullptr, next); });
  EXPECT_EQ(cfg.net[0].szNetDev, "Driver Install Need");
  EXPECT_EQ(cfg.net[0].szBindName, "");
  EXPECT_EQ(cfg.net[0].ucMacAddr, (std::array<uint8_t, 6>{}));
}

TEST(IpConfigForm, Ip2OpenClearAndOkPerNetwork) {
  CCfginfo cfg;
  cfg.net[0] = {Ip(10, 0, 0, 5),
                Ip(255, 0, 0, 0),
                Ip(10, 0, 0, 1),
                {Ip(10, 0, 0, 2), Ip(10, 0, 0, 3), 0},
                0,
                0,
                {"inside", "two", ""},
                "Old",
                "old",
                {}};
  cfg.net[1].useDhcp = 1;
  cfg.net[1].domain[0] = "outside";
  nv::ui::Ip2Form form = nv::ui::Ip2Open(cfg.net);
  EXPECT_EQ(form.net[0].address, Ip(10, 0, 0, 5));
  EXPECT_EQ(form.net[0].dns, Ip(10, 0, 0, 2));
  EXPECT_EQ(form.net[0].domain, "inside");
  EXPECT_TRUE(nv::ui::Ip2FieldsEnabled(form.net[0]));
  EXPECT_TRUE(form.net[1].useDhcp);
  EXPECT_FALSE(nv::ui::Ip2FieldsEnabled(form.net[1]));

  // B with DHCP ticked still stores what its disabled fields hold.
  form.net[1].address = Ip(172, 16, 5, 9);
  form.net[1].mask = Ip(255, 255, 0, 0);
  const AdapterChoice adapter{"Realtek", "\\Device\\RgateII_{C}", {1, 2, 3, 4, 5, 6}};
  Apply(cfg, [&](NetworkSettings& next) { nv::ui::Ip2Apply(form, &adapter, next); });
  EXPECT_EQ(cfg.dwIPnum, 2u);
  EXPECT_EQ(cfg.net[0].IPAddr, Ip(10, 0, 0, 5));
  EXPECT_EQ(cfg.net[0].dns[1], Ip(10, 0, 0, 3));  // only the first server is edited
  EXPECT_EQ(cfg.net[0].domain[1], "two");
  EXPECT_EQ(cfg.net[1].IPAddr, Ip(172, 16, 5, 9));
  EXPECT_EQ(cfg.net[1].NetMask, Ip(255, 255, 0, 0));
  EXPECT_EQ(cfg.net[1].useDhcp, 1u);
  EXPECT_EQ(cfg.net[1].domain[0], "outside");
  EXPECT_EQ(cfg.net[1].szNetDev, "Realtek");
  EXPECT_EQ(cfg.net[0].ucMacAddr, adapter.mac);

  const nv::ui::Ip2Form cleared = nv::ui::Ip2Cleared();
  for (const auto& net : cleared.net) {
    EXPECT_EQ(net.address | net.mask | net.gateway | net.dns, 0u);
    EXPECT_EQ(net.domain, "");
    EXPECT_TRUE(nv::ui::Ip2FieldsEnabled(net));
  }
  Apply(cfg, [&](NetworkSettings& next) { nv::ui::Ip2Apply(cleared, nullptr, next); });
  EXPECT_EQ(cfg.net[1].szNetDev, "Driver Install Need");
  EXPECT_EQ(cfg.net[1].useDhcp, 0u);
}

}  // namespace
