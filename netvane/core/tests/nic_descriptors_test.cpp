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

// The registry tests cover the ordinary pairing; these are the edges of the table itself.
TEST(NicDescriptor, FirstMatchWinsAndOnlyUsedBoundedNamesCount) {
  Table table{};
  Put(table[0], "\\Device\\RgateII_", "name of exactly 16 characters", 1);
  Put(table[1], "\\Device\\XXXXXXX_E100B1 ", "Realtek RTL8139 Family PCI", 2);  // any first 16
  Put(table[2], "\\Device\\RgateII_E100B1 ", "Second", 3);
  std::memset(table[3].szAdapterName, 'A', sizeof(table[3].szAdapterName));  // no terminating zero
  Put(table[4], "0000 ", "NE2000 Compatible  ", 5);

  const auto nt = FindNtDescriptor(table.data(), 20, "E100B1 ");
  ASSERT_TRUE(nt);
  EXPECT_EQ(nt->name, "\\Device\\XXXXXXX_E100B1");
  EXPECT_EQ(nt->description, "Realtek RTL8139 Family...");
  EXPECT_EQ(nt->mac[5], 2);
  const auto unterminated = FindNtDescriptor(table.data(), 20, std::string(128 - 16, 'A'));
  ASSERT_TRUE(unterminated);
  EXPECT_EQ(unterminated->name.size(), 128u);
  EXPECT_FALSE(FindNtDescriptor(table.data(), 20, ""));

  // 95/98: the exact instance after the last backslash; never an unused entry's empty name.
  EXPECT_FALSE(FindWin9xDescriptor(table.data(), 20, "Net\\0000"));
  const auto win9x = FindWin9xDescriptor(table.data(), 20, "Class\\Net\\0000 ");
  ASSERT_TRUE(win9x);
  EXPECT_EQ(win9x->name, "0000");
  EXPECT_EQ(win9x->description, "NE2000 Compatible");
  for (const char* miss : {"0000 ", "Net\\", ""})
    EXPECT_FALSE(FindWin9xDescriptor(table.data(), 20, miss)) << miss;
}

}  // namespace
