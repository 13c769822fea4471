// Turning the tray program's record into the settings the emulation answers with.
#include "src/lease_config.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/client_packets.h"

namespace nvserv {
namespace {

TEST(LeaseConfig, DottedAddressesAreReadStrictly) {
  struct Case {
    const char* text;
    bool ok;
    Ipv4 value;
  };
  const Case cases[] = {
      {"10.77.0.53", true, 0x0a4d0035},
      {"255.255.255.255", true, 0xffffffff},
      {"0.0.0.0", true, 0},
      {"001.002.003.004", true, 0x01020304},
      {"", false, 0},
      {"1.2.3", false, 0},
      {"1.2.3.4.5", false, 0},
      {"256.1.1.1", false, 0},
      {"1..2.3", false, 0},
      {" 1.2.3.4", false, 0},
      {"1.2.3.4 ", false, 0},
      {"1234.1.1.1", false, 0},
      {"a.b.c.d", false, 0},
      {"-1.2.3.4", false, 0},
      {"1.2.3.", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Ipv4 ip = 0xdeadbeef;
    EXPECT_EQ(ParseDottedIpv4(c.text, ip), c.ok);
    EXPECT_EQ(ip, c.ok ? c.value : 0xdeadbeef) << "a failed parse leaves the output alone";
  }
}

TEST(LeaseConfig, NameServerTextMayHoldOneOrSeveralAddresses) {
  struct Case {
    const char* text;
    std::vector<Ipv4> expected;
  };
  const Case cases[] = {
      {"10.77.0.53", {0x0a4d0035}},
      {"10.0.0.1, 10.0.0.2;10.0.0.3", {0x0a000001, 0x0a000002, 0x0a000003}},
      {"10.0.0.1 10.0.0.2 10.0.0.3 10.0.0.4 10.0.0.5", {0x0a000001, 0x0a000002, 0x0a000003, 0x0a000004}},
      {"bogus 10.0.0.9 300.1.1.1", {0x0a000009}},
      {"0.0.0.0", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseNameServers(c.text), c.expected);
  }
}

TEST(LeaseConfig, TakesTheRecordApart) {
  LeaseConfig c;
  ASSERT_EQ(MakeLeaseConfig(testing::Record(), c), LeaseConfigError::kNone);
  EXPECT_EQ(c.address, 0x0a4d0014u);
  EXPECT_EQ(c.subnetMask, 0xffffff00u);
  EXPECT_EQ(c.router, 0x0a4d0001u);
  EXPECT_EQ(c.nameServers, std::vector<Ipv4>{0x0a4d0035});
  EXPECT_EQ(c.mac, (MacAddress{0x02, 0x4e, 0x56, 0x00, 0x00, 0x01}));
  EXPECT_EQ(c.serverId, 0x0a4d0001u) << "the gateway identifies the server";
  EXPECT_EQ(c.leaseSeconds, 0xffffffffu);
}

TEST(LeaseConfig, TheServerIdentifierIsNeverTheClientsOwnAddress) {
  struct Case {
    const char* name;
    Ipv4 address, mask, gateway;
    Ipv4 expected;
    bool pinned;
  };
  const Case cases[] = {
      {"gateway", 0x0a4d0014, 0xffffff00, 0x0a4d0001, 0x0a4d0001, false},
      {"no gateway: the network address", 0x0a4d0014, 0xffffff00, 0, 0x0a4d0000, true},
      {"gateway is the address itself", 0x0a4d0014, 0xffffff00, 0x0a4d0014, 0x0a4d0000, true},
      {"/30", 0x0a4d0015, 0xfffffffc, 0, 0x0a4d0014, true},
      {"/31 has no network address", 0x0a4d0015, 0xfffffffe, 0, kDummyServerId, false},
      {"/32", 0x0a4d0015, 0xffffffff, 0, kDummyServerId, false},
      {"mask with holes", 0x0a4d0015, 0xff00ff00, 0, kDummyServerId, false},
      {"the address is the network address", 0x0a4d0000, 0xffffff00, 0, kDummyServerId, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _uIPINFO info = testing::Record();
    info.dwIPAddr = c.address;
    info.dwSubnetMask = c.mask;
    info.dwGateway = c.gateway;
    LeaseConfig out;
    ASSERT_EQ(MakeLeaseConfig(info, out), LeaseConfigError::kNone);
    EXPECT_EQ(out.serverId, c.expected);
    EXPECT_NE(out.serverId, out.address);
    EXPECT_EQ(out.serverIdPinned, c.pinned);
  }
}

TEST(LeaseConfig, NameServerTextIsReadOnlyWithinItsField) {
  _uIPINFO info = testing::Record();
  std::memset(info.szDns, '1', sizeof info.szDns);  // no terminating zero
  LeaseConfig c;
  ASSERT_EQ(MakeLeaseConfig(info, c), LeaseConfigError::kNone);
  EXPECT_TRUE(c.nameServers.empty());

  info = testing::Record();
  std::memcpy(info.szDns + 11, "10.9.9.9", 9);  // after the terminator: not part of the text
  ASSERT_EQ(MakeLeaseConfig(info, c), LeaseConfigError::kNone);
  EXPECT_EQ(c.nameServers, std::vector<Ipv4>{0x0a4d0035});
}

TEST(LeaseConfig, RefusesRecordsItCannotServe) {
  struct Case {
    const char* name;
    void (*change)(_uIPINFO&);
    LeaseConfigError expected;
  };
  const Case cases[] = {
      {"no address", [](_uIPINFO& i) { i.dwIPAddr = 0; }, LeaseConfigError::kNoAddress},
      {"broadcast address", [](_uIPINFO& i) { i.dwIPAddr = 0xffffffff; }, LeaseConfigError::kNoAddress},
      {"zero MAC", [](_uIPINFO& i) { std::memset(i.ucMacAddr, 0, 6); }, LeaseConfigError::kBadMac},
      {"multicast MAC", [](_uIPINFO& i) { i.ucMacAddr[0] = 0x01; }, LeaseConfigError::kBadMac},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _uIPINFO info = testing::Record();
    c.change(info);
    LeaseConfig out;
    out.address = 42;
    EXPECT_EQ(MakeLeaseConfig(info, out), c.expected);
    EXPECT_EQ(out.address, 42u) << "output untouched on refusal";
  }
}

}  // namespace
}  // namespace nvserv
