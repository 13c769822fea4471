// CNicList against the platform's registry: our own store natively, Wine's registry under Wine.
// Every tree lives below a scratch key that the list is given as its registry root.
#include "netvane/nic_list.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "support/nic_test_registry.h"

namespace {

using nictest::HasValue;
using nictest::ReadNumber;
using nictest::ReadString;
using nictest::ReadStrings;
using nv::core::MacAddress;
using nv::core::NicFamily;
using Strings = std::vector<std::string>;

const std::string kProduct = "SOFTWARE\\Tarn\\Netvane-H";
const std::string kCards = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::string kTcpIp = "SYSTEM\\CurrentControlSet\\Services\\TcpIp\\Parameters";
const std::string kDhcp = "SYSTEM\\CurrentControlSet\\Services\\DHCP";
const std::string kClass = "System\\CurrentControlSet\\Services\\Class";
const std::string kMstcp = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";

const std::string kGuidA = "{8E3A1C52-6B4F-4D1E-9A77-2C0F5B1D3E01}";
const std::string kGuidB = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
const std::string kGuidC = "{C0FFEE00-1111-2222-3333-444455556666}";
const std::string kIfA = kTcpIp + "\\Interfaces\\" + kGuidA;
const std::string kIfC = kTcpIp + "\\Interfaces\\" + kGuidC;

struct Desc {
  std::string name;
  std::string description;
  unsigned char macLast;
};

MacAddress Mac(unsigned char last) { return {0x00, 0x1B, 0x21, 0x3C, 0x4D, last}; }

class NicList : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { nictest::UseTemporaryStore(); }
  void SetUp() override {
    ASSERT_TRUE(nictest::DeleteScratchTree());
    ASSERT_TRUE(nictest::CreateKey(kProduct));
  }
  void TearDown() override { EXPECT_TRUE(nictest::DeleteScratchTree()); }

  CNicList Make(NicFamily family, const std::vector<Desc>& descs) {
    std::array<tagADAPTER_DESC, 20> table{};
    for (std::size_t i = 0; i < descs.size(); ++i) {
      std::strncpy(table[i].szAdapterName, descs[i].name.c_str(), sizeof(table[i].szAdapterName) - 1);
      std::strncpy(table[i].szDescription, descs[i].description.c_str(), sizeof(table[i].szDescription) - 1);
      const MacAddress mac = Mac(descs[i].macLast);
      std::memcpy(table[i].ucMacAddr, mac.data(), mac.size());
    }
    nv::core::NicListSetup setup;
    setup.family = family;
    setup.descriptors = [table](tagADAPTER_DESC* out, int entries) {
      std::memcpy(out, table.data(), sizeof(tagADAPTER_DESC) * static_cast<std::size_t>(entries));
    };
    setup.notice = &notice;
    setup.registryRoot = nictest::ScratchRoot();
    return CNicList(std::move(setup));
  }

  // A card under NetworkCards with the service name the driver would know it by.
  static void Card(const std::string& subkey, const std::string& service) {
    ASSERT_TRUE(nictest::SetString(kCards + "\\" + subkey, "ServiceName", service));
  }
  static void FixedSettingsNT(const std::string& key, const std::string& address) {
    ASSERT_TRUE(nictest::SetStrings(key, "IPAddress", {address}));
    ASSERT_TRUE(nictest::SetStrings(key, "SubnetMask", {"255.255.255.0"}));
    ASSERT_TRUE(nictest::SetStrings(key, "DefaultGateway", {"192.168.10.1"}));
    ASSERT_TRUE(nictest::SetNumber(key, "EnableDHCP", 0));
  }
  static void ExpectDhcpNT(const std::string& key) {
    SCOPED_TRACE(key);
    EXPECT_EQ(ReadStrings(key, "IPAddress"), Strings{"0.0.0.0"});
    EXPECT_EQ(ReadStrings(key, "SubnetMask"), Strings{"0.0.0.0"});
    EXPECT_FALSE(HasValue(key, "DefaultGateway"));
    EXPECT_EQ(ReadNumber(key, "EnableDHCP"), 1u);
  }
  // A Windows 2000 machine: cards 1 and 7 are served by the driver, 12 is not, and 3 carries
  // the first card's service name in other letter case.
  void BuildNT5() {
    Card("1", kGuidA);
    Card("12", kGuidB);
    Card("3", "{8e3a1c52-6b4f-4d1e-9a77-2c0f5b1d3e01}");
    Card("7", kGuidC);
    FixedSettingsNT(kIfA, "192.168.10.5");
    ASSERT_TRUE(nictest::SetString(kIfA, "NameServer", "192.168.10.2"));
    ASSERT_TRUE(nictest::SetString(kIfA, "SearchList", "corp.example"));
    ASSERT_TRUE(nictest::SetString(kIfA, "Domain", "corp.example"));
    FixedSettingsNT(kIfC, "10.0.0.5");
    ASSERT_TRUE(nictest::SetString(kTcpIp, "NameServer", "10.0.0.2"));
    ASSERT_TRUE(nictest::SetNumber(kDhcp, "Start", 3));
  }
  const std::vector<Desc> descsNT5 = {
      {"", "", 0},  // an unused entry
      {"\\Device\\RgateII_" + kGuidC, "Realtek RTL8139 PCI", 0x0C},
      {"\\Device\\RgateII_" + kGuidA, "Intel(R) PRO/1000 MT Network Connection", 0x0A},
  };
  // NT 4: service E100B1, whose two TCP/IP keys differ.
  void BuildNT4() {
    Card("2", "E100B1");
    FixedSettingsNT(nt4First, "192.168.1.20");
    FixedSettingsNT(nt4Second, "192.168.1.20");
    ASSERT_TRUE(nictest::SetString(kTcpIp, "NameServer", "192.168.1.2"));
    ASSERT_TRUE(nictest::SetString(kTcpIp, "SearchList", "a.example"));
    ASSERT_TRUE(nictest::SetNumber(kDhcp, "Start", 3));
  }
  const std::vector<Desc> descsNT4 = {{"\\Device\\RgateII_E100B1", "Intel 82557-based PRO Adapter", 0x41}};
  const std::string nt4First = "SYSTEM\\CurrentControlSet\\Services\\E100B1\\Parameters\\TcpIp";
  const std::string nt4Second = "SYSTEM\\CurrentControlSet\\Services\\E100B1\\TcpIp\\Parameters";

  // A Windows 98 Enum tree: a Realtek card with two TCP/IP bindings (and a Net-class subkey
  // that must not be visited), an Intel card whose binding has no driver instance, a card the
  // driver does not serve, and an NE2000 deep below a device that is not an adapter.
  static void BuildWin9x() {
    const std::string realtek = "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A";
    ASSERT_TRUE(nictest::SetString(realtek, "Class", "net"));
    ASSERT_TRUE(nictest::SetString(realtek, "Driver", "Net\\0000"));
    // Created in name order: Wine lists values by name, Windows in creation order.
    ASSERT_TRUE(nictest::SetString(realtek + "\\Bindings", "MSTCP\\0000", ""));
    ASSERT_TRUE(nictest::SetString(realtek + "\\Bindings", "MSTCP\\0001", ""));
    ASSERT_TRUE(nictest::SetNumber(realtek + "\\Bindings", "MSTCP\\0009", 0));  // not a string
    ASSERT_TRUE(nictest::SetString(realtek + "\\Bindings", "NETBEUI\\0000", ""));
    ASSERT_TRUE(nictest::SetString(realtek + "\\Child", "Class", "Net"));
    ASSERT_TRUE(nictest::SetString(realtek + "\\Child", "Driver", "Net\\0001"));
    ASSERT_TRUE(nictest::SetString(realtek + "\\Child\\Bindings", "MSTCP\\0001", ""));

    const std::string intel = "Enum\\PCI\\VEN_8086\\BUS_01";
    ASSERT_TRUE(nictest::SetString(intel, "Class", "NeT"));
    ASSERT_TRUE(nictest::SetString(intel, "Driver", "Net\\0001"));
    ASSERT_TRUE(nictest::SetString(intel + "\\Bindings", "MSTCP\\0002", ""));

    const std::string unserved = "Enum\\Root\\Net\\0003";
    ASSERT_TRUE(nictest::SetString(unserved, "Class", "Net"));
    ASSERT_TRUE(nictest::SetString(unserved, "Driver", "Net\\0003"));
    ASSERT_TRUE(nictest::SetString(unserved + "\\Bindings", "MSTCP\\0003", ""));

    ASSERT_TRUE(nictest::SetString("Enum\\Root\\Display\\0000", "Class", "Display"));
    const std::string ne2000 = "Enum\\Root\\Display\\0000\\Deep\\Nic";
    ASSERT_TRUE(nictest::SetString(ne2000, "Class", "NET"));
    ASSERT_TRUE(nictest::SetString(ne2000, "Driver", "Net\\0004"));
    ASSERT_TRUE(nictest::SetString(ne2000 + "\\Bindings", "MSTCP\\0004", ""));

    for (const char* n : {"0000", "0001", "0003", "0004"}) {
      const std::string key = std::string("Enum\\Network\\MSTCP\\") + n;
      ASSERT_TRUE(nictest::SetString(key, "Class", "NetTrans"));
      ASSERT_TRUE(nictest::SetString(key, "Driver", std::string("NetTrans\\") + n));
    }
    ASSERT_TRUE(nictest::SetString("Enum\\Network\\MSTCP\\0002", "Class", "NetTrans"));  // no Driver

    for (const char* n : {"0000", "0001"}) {
      const std::string key = kClass + "\\NetTrans\\" + n;
      ASSERT_TRUE(nictest::SetString(key, "IPAddress", "192.168.0.9"));
      ASSERT_TRUE(nictest::SetString(key, "IPMask", "255.255.255.0"));
      ASSERT_TRUE(nictest::SetString(key, "DefaultGateway", "192.168.0.1"));
    }
    ASSERT_TRUE(nictest::SetString(kMstcp, "NameServer", "192.168.0.2"));
    ASSERT_TRUE(nictest::SetString(kMstcp, "SearchList", "home.example"));
    ASSERT_TRUE(nictest::SetString(kMstcp, "HostName", "pc1"));
  }
  const std::vector<Desc> descsWin9x = {
      {"0004", "NE2000 Compatible", 0x04},
      {"0000", "Realtek RTL8139 Family PCI Fast Ethernet NIC ", 0x01},
      {"0001", "Intel 8255x-based PCI Ethernet Adapter", 0x02},
  };

  nictest::RecordingNotice notice;
};

struct Expected {
  std::string display;
  std::string tcpIpKey;
  std::string adapterName;
  std::string adapterKey;
  MacAddress mac;
};

void ExpectLists(const CNicList& list, const std::vector<Expected>& expected) {
  ASSERT_EQ(list.GetCount(), static_cast<int>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    const int k = static_cast<int>(i);
    EXPECT_EQ(list.GetDisplayName(k), expected[i].display);
    EXPECT_EQ(list.GetTcpIpKey(k), expected[i].tcpIpKey);
    EXPECT_EQ(list.GetAdapterName(k), expected[i].adapterName);
    EXPECT_EQ(list.GetAdapterKey(k), expected[i].adapterKey);
    EXPECT_EQ(list.GetMac(k), expected[i].mac);
  }
}

TEST_F(NicList, Nt5ListsServedCardsAndSwitchesTheChosenInterfaceToDhcp) {
  BuildNT5();
  CNicList list = Make(NicFamily::kNT5, descsNT5);
  ASSERT_EQ(list.Scan("Enum"), 2);
  ASSERT_EQ(list.Scan("Enum"), 2);  // a second scan starts afresh
  ExpectLists(list, {
                        {"Intel(R) PRO/1000 MT N... [\\Device\\RgateII_" + kGuidA + "]", kIfA,
                         "\\Device\\RgateII_" + kGuidA, kCards + "\\1", Mac(0x0A)},
                        {"Realtek RTL8139 PCI [\\Device\\RgateII_" + kGuidC + "]", kIfC,
                         "\\Device\\RgateII_" + kGuidC, kCards + "\\7", Mac(0x0C)},
                    });
  EXPECT_EQ(notice.count, 0);
  // Reads past either end come back empty.
  EXPECT_EQ(list.GetDisplayName(2), "");
  EXPECT_EQ(list.GetAdapterName(-1), "");
  EXPECT_EQ(list.GetMac(2), MacAddress{});

  // An index outside the list changes nothing.
  for (int index : {-1, 2, INT_MAX, INT_MIN}) EXPECT_FALSE(list.SetAdapterDhcp(index)) << index;
  EXPECT_FALSE(HasValue(kProduct, "szBindPath1"));
  EXPECT_EQ(ReadNumber(kDhcp, "Start"), 3u);

  ASSERT_TRUE(list.SetAdapterDhcp(0));
  // First and second path coincide on Windows 2000 and later.
  EXPECT_EQ(ReadString(kProduct, "szBindPath1"), kIfA);
  EXPECT_EQ(ReadString(kProduct, "szBindPath2"), kIfA);
  ExpectDhcpNT(kIfA);
  EXPECT_FALSE(HasValue(kIfA, "NameServer"));
  EXPECT_FALSE(HasValue(kIfA, "SearchList"));
  EXPECT_EQ(ReadString(kIfA, "Domain"), "corp.example");
  EXPECT_EQ(ReadNumber(kTcpIp, "DisableDHCPMediaSense"), 1u);
  EXPECT_EQ(ReadNumber(kDhcp, "Start"), 2u);
  // The global name server and the other adapter stay as they were.
  EXPECT_EQ(ReadString(kTcpIp, "NameServer"), "10.0.0.2");
  EXPECT_EQ(ReadStrings(kIfC, "IPAddress"), Strings{"10.0.0.5"});
  EXPECT_EQ(ReadNumber(kIfC, "EnableDHCP"), 0u);
}

TEST_F(NicList, Nt4UsesBothServiceKeysAndTheGlobalNameServers) {
  BuildNT4();
  CNicList list = Make(NicFamily::kNT4, descsNT4);
  ASSERT_EQ(list.Scan("Enum"), 1);
  ExpectLists(list, {{"Intel 82557-based PRO... [\\Device\\RgateII_E100B1]", nt4First,
                      "\\Device\\RgateII_E100B1", kCards + "\\2", Mac(0x41)}});

  ASSERT_TRUE(list.SetAdapterDhcp(0));
  EXPECT_EQ(ReadString(kProduct, "szBindPath1"), nt4First);
  EXPECT_EQ(ReadString(kProduct, "szBindPath2"), nt4Second);
  ExpectDhcpNT(nt4First);
  ExpectDhcpNT(nt4Second);
  EXPECT_FALSE(HasValue(kTcpIp, "NameServer"));
  EXPECT_FALSE(HasValue(kTcpIp, "SearchList"));
  EXPECT_EQ(ReadNumber(kTcpIp, "DisableDHCPMediaSense"), 1u);
  EXPECT_EQ(ReadNumber(kDhcp, "Start"), 2u);
}

TEST_F(NicList, NtWithoutRegisteredCardsTellsTheUser) {
  const struct {
    const char* name;
    bool cardsKey;
    bool oneCard;
    int notices;
  } cases[] = {
      {"no NetworkCards key", false, false, 1},
      {"empty NetworkCards key", true, false, 1},
      {"a card the driver does not serve", true, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(nictest::DeleteScratchTree());
    if (c.cardsKey) {
      ASSERT_TRUE(nictest::CreateKey(kCards));
    }
    if (c.oneCard) Card("1", kGuidB);
    notice = {};
    CNicList list = Make(NicFamily::kNT5, descsNT5);
    EXPECT_EQ(list.Scan("Enum"), 0);
    EXPECT_EQ(notice.count, c.notices);
    EXPECT_EQ(notice.last, c.notices ? "Check Lan Card(NIC) was installed at your PC" : "");
  }
}

TEST_F(NicList, Win9xWalksEnumForNetAdaptersAndWritesStringsUnderTheBindingsClassKey) {
  BuildWin9x();
  CNicList list = Make(NicFamily::kWin9x, descsWin9x);
  ASSERT_EQ(list.Scan("Enum"), 4);
  const std::string realtek = "Realtek RTL8139 Family PCI Fast Ethernet NIC [0000]";  // whole, trimmed
  const std::string realtekKey = "Enum\\PCI\\VEN_10EC&DEV_8139\\BUS_00&DEV_0A";
  ExpectLists(list, {
                        {realtek, "NetTrans\\0000", "0000", realtekKey, Mac(0x01)},
                        {realtek, "NetTrans\\0001", "0000", realtekKey, Mac(0x01)},
                        {"Can't Find TCP/IP info", "can not find TCP info", "", "", MacAddress{}},
                        {"NE2000 Compatible [0004]", "NetTrans\\0004", "0004",
                         "Enum\\Root\\Display\\0000\\Deep\\Nic", Mac(0x04)},
                    });
  EXPECT_EQ(notice.count, 0);

  ASSERT_TRUE(list.SetAdapterDhcp(1));

  const std::string key = kClass + "\\NetTrans\\0001";
  EXPECT_EQ(ReadString(kProduct, "szBindPath"), key);
  EXPECT_EQ(ReadString(key, "IPAddress"), "0.0.0.0");
  EXPECT_EQ(ReadString(key, "IPMask"), "0.0.0.0");
  EXPECT_FALSE(HasValue(key, "DefaultGateway"));
  EXPECT_EQ(ReadString(key, "DisableDHCPMediaSense"), "1");
  EXPECT_EQ(ReadString(key, "ForceDisableDHCPMediaSense"), "1");
  EXPECT_FALSE(HasValue(kMstcp, "NameServer"));
  EXPECT_FALSE(HasValue(kMstcp, "SearchList"));
  EXPECT_EQ(ReadString(kMstcp, "HostName"), "pc1");
  EXPECT_EQ(ReadString(kClass + "\\NetTrans\\0000", "IPAddress"), "192.168.0.9");

  // The entry without TCP/IP information names no key: nothing is recorded or changed.
  ASSERT_TRUE(nictest::SetString(kMstcp, "NameServer", "192.168.0.2"));
  EXPECT_FALSE(list.SetAdapterDhcp(2));
  EXPECT_EQ(ReadString(kProduct, "szBindPath"), key);
  EXPECT_EQ(ReadString(kMstcp, "NameServer"), "192.168.0.2");
}

TEST_F(NicList, WriterRunsEveryStepWhenAKeyIsMissingAndCreatesNone) {
  Card("1", kGuidA);  // no Interfaces key for it
  ASSERT_TRUE(nictest::SetNumber(kDhcp, "Start", 4));
  ASSERT_TRUE(nictest::CreateKey(kTcpIp));
  CNicList list = Make(NicFamily::kNT5, descsNT5);
  ASSERT_EQ(list.Scan("Enum"), 1);
  ASSERT_TRUE(list.SetAdapterDhcp(0));

  EXPECT_EQ(ReadString(kProduct, "szBindPath1"), kIfA);
  EXPECT_EQ(ReadString(kProduct, "szBindPath2"), kIfA);
  EXPECT_FALSE(HasValue(kIfA, "EnableDHCP"));
  EXPECT_EQ(ReadNumber(kTcpIp, "DisableDHCPMediaSense"), 1u);
  EXPECT_EQ(ReadNumber(kDhcp, "Start"), 2u);
}

}  // namespace
