#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rgtarn/RG_DevIO.h"

namespace {

// What the fake adapter saw, shared with the test after the driver owns the link.
struct FakeAdapter {
  std::array<unsigned char, 6> mac = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
  bool mac_readable = true;
  bool up = true;
  bool fail_next_send = false;
  std::vector<std::vector<unsigned char>> sent;
  std::vector<std::string> opened;
  bool closed = false;
};

class FakeLink : public rgtarn::NicLink {
 public:
  explicit FakeLink(FakeAdapter& a) : a_(a) {}
  ~FakeLink() override { a_.closed = true; }
  bool ReadMac(std::array<unsigned char, 6>& mac) noexcept override {
    if (a_.mac_readable) mac = a_.mac;
    return a_.mac_readable;
  }
  bool ReadyToSend() noexcept override { return a_.up; }
  bool Send(const unsigned char* frame, std::size_t length) noexcept override {
    if (a_.fail_next_send) {
      a_.fail_next_send = false;
      return false;
    }
    a_.sent.emplace_back(frame, frame + length);
    return true;
  }

 private:
  FakeAdapter& a_;
};

class FakeDriver : public CRG_DevIO {
 public:
  explicit FakeDriver(FakeAdapter& a)
      : CRG_DevIO(nullptr, [&a](const std::string& service) -> std::unique_ptr<rgtarn::NicLink> {
          a.opened.push_back(service);
          if (service == "missing") return nullptr;
          return std::make_unique<FakeLink>(a);
        }) {}
};

std::vector<unsigned char> Frame(unsigned char fill) { return std::vector<unsigned char>(60, fill); }

}  // namespace

TEST(DevIO, PacketRefersToTheCallersBufferSoLaterContentGoesOut) {
  FakeAdapter adapter;
  FakeDriver driver(adapter);
  ASSERT_NE(driver.DrvOpen("\\Device\\RgateII_veth0"), 0);
  unsigned char buffer[60] = {};
  LPRG_PACKET packet = driver.AllocPacket();
  ASSERT_NE(packet, nullptr);
  driver.InitPacket(packet, buffer, sizeof(buffer));

  std::memset(buffer, 0xAA, sizeof(buffer));  // filled after InitPacket
  EXPECT_EQ(driver.SndFrame(packet), 1);
  std::memset(buffer, 0x55, sizeof(buffer));
  EXPECT_EQ(driver.SndFrame(packet), 1);

  ASSERT_EQ(adapter.sent.size(), 2u);
  EXPECT_EQ(adapter.sent[0], Frame(0xAA));
  EXPECT_EQ(adapter.sent[1], Frame(0x55));
  driver.FreePacket(packet);
}

TEST(DevIO, SndFrameIsOneOnlyForAFrameTheAdapterTook) {
  FakeAdapter adapter;
  FakeDriver driver(adapter);
  unsigned char buffer[1600] = {};
  LPRG_PACKET packet = driver.AllocPacket();
  driver.InitPacket(packet, buffer, 60);
  EXPECT_EQ(driver.SndFrame(packet), 0) << "driver not open";

  ASSERT_NE(driver.DrvOpen("veth0"), 0);
  adapter.fail_next_send = true;
  EXPECT_EQ(driver.SndFrame(packet), 0);
  EXPECT_EQ(driver.SndFrame(packet), 1);

  for (unsigned bad_length : {0u, 13u, 1515u}) {  // shorter than a header, longer than a frame
    driver.InitPacket(packet, buffer, bad_length);
    EXPECT_EQ(driver.SndFrame(packet), 0) << bad_length;
  }
  driver.InitPacket(packet, buffer, 1514);
  EXPECT_EQ(driver.SndFrame(packet), 1);

  LPRG_PACKET unset = driver.AllocPacket();
  EXPECT_EQ(driver.SndFrame(unset), 0) << "no buffer yet";
  EXPECT_EQ(driver.SndFrame(nullptr), 0);
  driver.FreePacket(packet);
  EXPECT_EQ(driver.SndFrame(packet), 0) << "freed";
  driver.FreePacket(packet);  // twice: ignored
  driver.FreePacket(nullptr);
  EXPECT_EQ(adapter.sent.size(), 2u);
}

TEST(DevIO, OpenPassesTheServiceNameAndMacAndFilterComeFromTheAdapter) {
  FakeAdapter adapter;
  FakeDriver driver(adapter);
  EXPECT_EQ(driver.DrvOpen(""), 0);
  EXPECT_EQ(driver.DrvOpen("\\Device\\RgateII_"), 0);
  EXPECT_TRUE(adapter.opened.empty()) << "no service name, nothing to open";

  ASSERT_NE(driver.DrvOpen("\\Device\\RgateII_{0A1B2C3D-0000-1111-2222-333344445555}"), 0);
  EXPECT_EQ(adapter.opened.back(), "{0A1B2C3D-0000-1111-2222-333344445555}");
  ASSERT_NE(driver.DrvOpen("eth0"), 0);
  EXPECT_EQ(adapter.opened.back(), "eth0") << "a bare service name opens as it is";
  unsigned char mac[6] = {};
  ASSERT_NE(driver.GetNicMac(mac), 0);
  EXPECT_EQ(std::memcmp(mac, adapter.mac.data(), 6), 0);
  EXPECT_NE(driver.SetFilter(), 0);

  adapter.up = false;
  EXPECT_EQ(driver.SetFilter(), 0) << "an adapter that is down is not ready";
  adapter.mac_readable = false;
  unsigned char untouched[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(driver.GetNicMac(untouched), 0);
  EXPECT_EQ(untouched[0], 9);
}

TEST(DevIO, DrvCloseIsSafeAtAnyPoint) {
  FakeAdapter adapter;
  FakeDriver driver(adapter);
  driver.DrvClose();  // never opened
  EXPECT_EQ(driver.DrvOpen("missing"), 0);
  driver.DrvClose();  // open failed
  driver.DrvClose();

  ASSERT_NE(driver.DrvOpen("veth0"), 0);
  adapter.mac_readable = false;
  unsigned char mac[6] = {};
  EXPECT_EQ(driver.GetNicMac(mac), 0);
  driver.DrvClose();  // open failed half-way, as the switch control then closes
  EXPECT_TRUE(adapter.closed);
  driver.DrvClose();
  EXPECT_EQ(driver.SetFilter(), 0);
  EXPECT_EQ(driver.GetNicMac(mac), 0);

  // Reopening closes the open adapter first, even when the new one does not open.
  FakeAdapter other;
  FakeDriver reopened(other);
  ASSERT_NE(reopened.DrvOpen("veth0"), 0);
  EXPECT_EQ(reopened.DrvOpen("missing"), 0);
  EXPECT_TRUE(other.closed);
  EXPECT_EQ(reopened.SetFilter(), 0);

  // A packet left allocated is released with the driver object (the leak checker watches).
  unsigned char buffer[60] = {};
  driver.InitPacket(driver.AllocPacket(), buffer, 60);
}

// The platform's own packet driver (AF_PACKET natively, wpcap.dll under Wine).
TEST(DevIO, RealDriverFailsCleanlyOnAMissingAdapter) {
  CRG_DevIO driver;
  for (const char* name :
       {"\\Device\\RgateII_nvmissing0", "\\Device\\RgateII_{00000000-0000-0000-0000-000000000000}",
        "nvmissing0", "\\Device\\RgateII_this-name-is-far-too-long-for-an-interface"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(driver.DrvOpen(name), 0);
    unsigned char mac[6] = {};
    EXPECT_EQ(driver.GetNicMac(mac), 0);
    EXPECT_EQ(driver.SetFilter(), 0);
    LPRG_PACKET packet = driver.AllocPacket();
    unsigned char buffer[60] = {};
    driver.InitPacket(packet, buffer, 60);
    EXPECT_EQ(driver.SndFrame(packet), 0);
    driver.FreePacket(packet);
    driver.DrvClose();
    driver.DrvClose();
  }
}
