// CDHCPemu as the tray program calls it, for the calls that need no network.
#include "nvserv/dhcpemu.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

_uIPINFO Record() {
  _uIPINFO info{};
  info.dwIPAddr = 0x0a4d0014;
  info.dwSubnetMask = 0xffffff00;
  info.dwGateway = 0x0a4d0001;
  std::strcpy(info.szDns, "10.77.0.53");
  const unsigned char mac[6] = {0x02, 0x4e, 0x56, 0x00, 0x00, 0x01};
  std::memcpy(info.ucMacAddr, mac, 6);
  return info;
}

TEST(CDHCPemu, CloseAndStopAreHarmlessWhenNeverOpened) {
  CDHCPemu emu;
  EXPECT_NE(emu.SetEndDHCP(), 0);
  EXPECT_NE(emu.DrvClose(), 0);
  EXPECT_NE(emu.DrvClose(), 0);
}

TEST(CDHCPemu, StartIsRefusedBeforeOpenAndForUnusableSettings) {
  CDHCPemu emu;
  const _uIPINFO info = Record();
  EXPECT_EQ(emu.SetStartDHCP(info), 0);
  EXPECT_NE(emu.LastError().find("not open"), std::string::npos) << emu.LastError();
  EXPECT_EQ(emu.SetStartDHCP(nullptr), 0);
  _uIPINFO noAddress = info;
  noAddress.dwIPAddr = 0;
  EXPECT_EQ(emu.SetStartDHCP(noAddress), 0);
  EXPECT_NE(emu.LastError().find("no address"), std::string::npos) << emu.LastError();
}

}  // namespace
