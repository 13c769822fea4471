// Pairing registry entries with the packet driver's adapter descriptors, and the list texts.
#include "netvane/nic_descriptors.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

using nv::core::FindNtDescriptor;
using nv::core::FindWin9xDescriptor;
using nv::core::ShortenNicDescription;

using Table = std::array<tagADAPTER_DESC, 20>;

void Put(tagADAPTER_DESC& desc, const std::string& name, const std::string& description,
         unsigned char mac_last) {
  std::memset(&desc, 0, sizeof(desc));
  std::strncpy(desc.szAdapterName, name.c_str(), sizeof(desc.szAdapterName) - 1);
  std::strncpy(desc.szDescription, description.c_str(), sizeof(desc.szDescription) - 1);
  const unsigned char mac[6] = {0x00, 0x1B, 0x21, 0x0A, 0x0B, mac_last};
  std::memcpy(desc.ucMacAddr, mac, sizeof(mac));
}

TEST(NicDescription, LongDescriptionsAreCutTo22CharactersTrimmedWithDots) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"Intel PRO/1000 MT Desk", "Intel PRO/1000 MT Desk"},      // exactly 22: whole
      {"Intel PRO/1000 MT Deskt", "Intel PRO/1000 MT Desk..."},  // 23
      {"Realtek RTL8139 Family PCI", "Realtek RTL8139 Family..."},
      {"Realtek   RTL8139     Family", "Realtek   RTL8139..."},  // the cut ends in blanks
      // Characters, not bytes: 22 two-byte letters stay whole, the 23rd starts the cut.
      {"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
       "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"},
      {"Netzwerkkarte f\xC3\xBCr B\xC3\xBCro und Heim", "Netzwerkkarte f\xC3\xBCr B\xC3\xBCro..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(ShortenNicDescription(c.in), c.out);
  }
}

TEST(NicDescriptorNT, MatchesTheServiceNameFromCharacter16CaseSensitively) {
  Table table{};
  // Entry 0 unused; 1 and 3 carry the same service name: the first one wins.
  Put(table[1], "\\Device\\RgateII_{6A3C}", "Intel(R) PRO/1000 MT Network Connection", 1);
  Put(table[2], "\\Device\\RgateII_{6a3c-lower}", "Other", 2);
  Put(table[3], "\\Device\\RgateII_{6A3C}", "Second", 3);
  Put(table[4], "\\Device\\XXXXXXX_E100B1 ", "Card with trailing blank   ", 4);

  const auto found = FindNtDescriptor(table.data(), 20, "{6A3C}");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "\\Device\\RgateII_{6A3C}");
  EXPECT_EQ(found->description, "Intel(R) PRO/1000 MT N...");
  EXPECT_EQ(found->mac[5], 1);

  // Only the text from character 16 on counts, whatever stands before it; the name is trimmed.
  const auto trailing = FindNtDescriptor(table.data(), 20, "E100B1 ");
  ASSERT_TRUE(trailing);
  EXPECT_EQ(trailing->name, "\\Device\\XXXXXXX_E100B1");
  EXPECT_EQ(trailing->description, "Card with trailing bla...");

  for (const char* miss : {"{6a3c}", "6A3C", "{6A3C}x", "E100B1", ""}) {
    SCOPED_TRACE(miss);
    EXPECT_FALSE(FindNtDescriptor(table.data(), 20, miss));
  }
}

TEST(NicDescriptorNT, ShortNamesAndUnterminatedFieldsStayInBounds) {
  Table table{};
  Put(table[0], "\\Device\\RgateII_", "exactly 16 characters", 1);
  // A name that fills its whole field without a terminating zero.
  std::memset(table[1].szAdapterName, 'A', sizeof(table[1].szAdapterName));
  EXPECT_FALSE(FindNtDescriptor(table.data(), 20, ""));
  const auto found = FindNtDescriptor(table.data(), 20, std::string(128 - 16, 'A'));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name.size(), 128u);
}

TEST(NicDescriptorWin9x, MatchesTheDriverInstanceAfterTheLastBackslash) {
  Table table{};
  Put(table[2], "0000", "Realtek RTL8139 Family PCI Fast Ethernet NIC  ", 7);
  Put(table[3], "0001", "NE2000 Compatible", 8);

  const auto found = FindWin9xDescriptor(table.data(), 20, "Net\\0000");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "0000");
  EXPECT_EQ(found->description, "Realtek RTL8139 Family PCI Fast Ethernet NIC");  // trimmed, never shortened
  EXPECT_EQ(found->mac[5], 7);

  const auto nested = FindWin9xDescriptor(table.data(), 20, "Class\\Net\\0001");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->name, "0001");

  // No backslash, nothing after it, or an instance no descriptor has: no match (an unused
  // descriptor's empty name must not pair with an empty instance).
  for (const char* miss : {"0000", "Net\\", "Net\\0002", "Net\\0000 ", ""}) {
    SCOPED_TRACE(miss);
    EXPECT_FALSE(FindWin9xDescriptor(table.data(), 20, miss));
  }
}

TEST(NicDescriptor, ServiceNameOfAdapterName) {
  const struct {
    const char* adapter;
    const char* service;
  } cases[] = {
      {"\\Device\\RgateII_{6A3C-11}", "{6A3C-11}"},
      {"\\Device\\RgateII_E100B1", "E100B1"},
      {"\\Device\\RgateII_RgateII_X", "RgateII_X"},  // the first marker counts
      {"\\Device\\XXXXXXX_E100B1", "E100B1"},        // no marker: from character 16 on
      {"short", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.adapter);
    EXPECT_EQ(nv::core::ServiceNameOfAdapter(c.adapter), c.service);
  }
}

}  // namespace
