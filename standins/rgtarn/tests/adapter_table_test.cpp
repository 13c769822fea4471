#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "rgtarn/RG_DevIO.h"
#include "rgtarn/adapter_table.h"

using rgtarn::FillAdapterTable;
using rgtarn::NicInfo;

namespace {

const unsigned char* Bytes(const tagADAPTER_DESC& d) { return reinterpret_cast<const unsigned char*>(&d); }

NicInfo Nic(const std::string& service, const std::string& description, unsigned char last) {
  NicInfo nic;
  nic.service = service;
  nic.description = description;
  nic.mac = {0x02, 0x00, 0x5E, 0x10, 0x20, last};
  return nic;
}

}  // namespace

TEST(AdapterTable, DescriptorBytesSitWhereTheSystemReadsThem) {
  tagADAPTER_DESC table[CRG_DevIO::kMaxAdapters];
  const std::string guid = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
  ASSERT_EQ(FillAdapterTable({Nic(guid, "Fast Ethernet Adapter", 0x7F)}, table, CRG_DevIO::kMaxAdapters), 1);

  const unsigned char* b = Bytes(table[0]);
  const std::string name = "\\Device\\RgateII_" + guid;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b)), name);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b) + 8, 8), "RgateII_");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b) + 16), guid);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b) + 128), "Fast Ethernet Adapter");
  const unsigned char mac[6] = {0x02, 0x00, 0x5E, 0x10, 0x20, 0x7F};
  EXPECT_EQ(std::memcmp(b + 388, mac, 6), 0);
  // Everything past the texts is zero, and so is every unused entry.
  for (size_t i = name.size(); i < 128; ++i) ASSERT_EQ(b[i], 0) << "name byte " << i;
  for (size_t i = 128 + 21; i < 388; ++i) ASSERT_EQ(b[i], 0) << "description byte " << i;
  for (int e = 1; e < CRG_DevIO::kMaxAdapters; ++e) {
    for (size_t i = 0; i < sizeof(tagADAPTER_DESC); ++i) ASSERT_EQ(Bytes(table[e])[i], 0) << "entry " << e;
  }
}

TEST(AdapterTable, AtMostTwentyAndNeverPastTheCallersTable) {
  std::vector<NicInfo> nics;
  for (int i = 0; i < 25; ++i)
    nics.push_back(Nic("eth" + std::to_string(i), "NIC", static_cast<unsigned char>(i)));

  tagADAPTER_DESC big[30];
  std::memset(big, 0xCC, sizeof(big));
  EXPECT_EQ(FillAdapterTable(nics, big, 30), 20);
  EXPECT_STREQ(big[19].szAdapterName, "\\Device\\RgateII_eth19");
  EXPECT_EQ(Bytes(big[20])[0], 0xCC) << "entries past twenty are not the driver's";

  tagADAPTER_DESC small[3];
  EXPECT_EQ(FillAdapterTable(nics, small, 3), 3);
  EXPECT_STREQ(small[2].szAdapterName, "\\Device\\RgateII_eth2");
  EXPECT_EQ(FillAdapterTable(nics, small, 0), 0);
  EXPECT_EQ(FillAdapterTable(nics, nullptr, 20), 0);
}

TEST(AdapterTable, OverlongTextsAreCutAndStayTerminated) {
  const std::string service(200, 's');
  // 130 two-byte characters: 260 bytes, one more than the field holds before its terminator.
  std::string description;
  for (int i = 0; i < 130; ++i) description += "\xC3\xA9";
  tagADAPTER_DESC table[1];
  ASSERT_EQ(FillAdapterTable({Nic(service, description, 1)}, table, 1), 1);
  EXPECT_EQ(std::strlen(table[0].szAdapterName), 127u);
  EXPECT_EQ(std::strlen(table[0].szDescription), 258u) << "cut before the split character, not inside it";
  EXPECT_EQ(table[0].ucMacAddr[5], 1);
}
