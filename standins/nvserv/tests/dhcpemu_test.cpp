// CDHCPemu as the tray program calls it, for the calls that need no network.
#include "nvserv/dhcpemu.h"

#include <gtest/gtest.h>

#include "support/client_packets.h"

namespace {

TEST(CDHCPemu, CloseAndStopAreHarmlessWhenNeverOpened) {
  CDHCPemu emu;
  EXPECT_NE(emu.SetEndDHCP(), 0);
  EXPECT_NE(emu.DrvClose(), 0);
  EXPECT_NE(emu.DrvClose(), 0);
}

TEST(CDHCPemu, StartIsRefusedBeforeOpenAndForUnusableSettings) {
  CDHCPemu emu;
  const _uIPINFO info = nvserv::testing::Record();
  EXPECT_EQ(emu.SetStartDHCP(info), 0);
  EXPECT_NE(emu.LastError().find("not open"), std::string::npos) << emu.LastError();
  EXPECT_EQ(emu.SetStartDHCP(nullptr), 0);
  _uIPINFO noAddress = info;
  noAddress.dwIPAddr = 0;
  EXPECT_EQ(emu.SetStartDHCP(noAddress), 0);
  EXPECT_NE(emu.LastError().find("no address"), std::string::npos) << emu.LastError();
}

}  // namespace
