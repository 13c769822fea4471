#include "netvane/guard_device.h"

#include <gtest/gtest.h>

#include "support/fake_guard_device.h"

namespace {

using nv::core::FolderRecord;
using nv::core::testing::FakeGuardDevice;
using nv::core::testing::GuardState;
using nv::core::testing::RawRecord;
using Bytes = std::vector<uint8_t>;

// count, address, then "Test" NUL-padded to 12 bytes.
Bytes RequestBytes(uint32_t count, uint32_t address) {
  Bytes b = {static_cast<uint8_t>(count),         static_cast<uint8_t>(count >> 8),
             static_cast<uint8_t>(count >> 16),   static_cast<uint8_t>(count >> 24),
             static_cast<uint8_t>(address),       static_cast<uint8_t>(address >> 8),
             static_cast<uint8_t>(address >> 16), static_cast<uint8_t>(address >> 24)};
  for (char c : std::string("Test")) b.push_back(static_cast<uint8_t>(c));
  b.resize(20, 0);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

CGuardDevice Device(GuardState& state, const COSversion& os = nv::core::testing::Windows95Family()) {
  return CGuardDevice(os, std::make_unique<FakeGuardDevice>(state));
}

TEST(GuardDevice, ListsAreSentInTheDevicesExactLayout) {
  const std::vector<FolderRecord> records = {
      {0x39, "C:\\DATA\\SECRET*"}, {0x39, "C:\\DATA\\SECRET*"}, {0x12, "D:\\X*"}, {0x12, "///Org Short//"}};
  const Bytes expectedRecords =
      Concat({RawRecord(0x39, "C:\\DATA\\SECRET*"), RawRecord(0x39, "C:\\DATA\\SECRET*"),
              RawRecord(0x12, "D:\\X*"), RawRecord(0x12, "///Org Short//")});
  struct Case {
    const char* what;
    uint32_t code;
    bool (CGuardDevice::*send)(const std::vector<FolderRecord>&);
  };
  for (const Case& c : {Case{"ApplyList", 0x0FFF0008, &CGuardDevice::ApplyList},
                        Case{"SaveList", 0x0FFF0018, &CGuardDevice::SaveList}}) {
    SCOPED_TRACE(c.what);
    GuardState state;
    CGuardDevice device = Device(state);
    ASSERT_TRUE((device.*c.send)(records));
    ASSERT_EQ(state.requests.size(), 1u);
    EXPECT_EQ(state.requests[0].code, c.code);
    EXPECT_EQ(state.requests[0].block, RequestBytes(4, FakeGuardDevice::kCallerBase));
    EXPECT_EQ(state.requests[0].records, expectedRecords);
    EXPECT_EQ(state.requests[0].records.size(), 4u * 257u);
  }
}

TEST(GuardDevice, ListsAreReadFromTheDevicesMemory) {
  struct Case {
    const char* what;
    uint32_t code;
    std::optional<std::vector<FolderRecord>> (CGuardDevice::*read)();
  };
  for (const Case& c : {Case{"GetList", 0x0FFF0010, &CGuardDevice::GetList},
                        Case{"ReadList", 0x0FFF001C, &CGuardDevice::ReadList}}) {
    SCOPED_TRACE(c.what);
    GuardState state;
    state.deviceRecords =
        Concat({RawRecord(0x39, "C:\\A*"), RawRecord(0x39, "C:\\A~1*"), RawRecord(0x13, "E:\\B*")});
    state.deviceCount = 3;
    CGuardDevice device = Device(state);
    const auto list = (device.*c.read)();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, (std::vector<FolderRecord>{{0x39, "C:\\A*"}, {0x39, "C:\\A~1*"}, {0x13, "E:\\B*"}}));
    ASSERT_EQ(state.requests.size(), 1u);
    EXPECT_EQ(state.requests[0].code, c.code);
    EXPECT_EQ(state.requests[0].block, RequestBytes(0, 0));
  }
}

TEST(GuardDevice, NetworkNoticeLayout) {
  GuardState state;
  CGuardDevice device = Device(state);
  ASSERT_TRUE(device.NotifyNetwork(1));
  ASSERT_TRUE(device.NotifyNetwork(0));
  device.SetNetwork(7);  // as the change sequence calls it: any non-zero network is B
  ASSERT_EQ(state.requests.size(), 3u);
  const Bytes tag = {'T', 'e', 's', 't', 0, 0, 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(state.requests[i].code, 0x0FFF000Cu);
    const uint8_t network = i == 1 ? 0 : 1;
    EXPECT_EQ(state.requests[i].block, Concat({{network, 0, 0, 0}, tag}));
  }
  EXPECT_EQ(state.openCalls, 1) << "the handle is kept";
}

TEST(GuardDevice, FailuresAndDamagedAnswersGiveNoList) {
  struct Case {
    const char* what;
    void (*arrange)(GuardState&);
  };
  const Case cases[] = {
      {"request fails", [](GuardState& s) { s.failNext = true; }},
      {"no data returned", [](GuardState& s) { s.answerWithoutData = true; }},
      {"count beyond any list", [](GuardState& s) { s.deviceCount = 0x7FFFFFFF; }},
      {"count beyond the records", [](GuardState& s) { s.deviceCount = 9; }},
      {"device does not open", [](GuardState& s) { s.opens = false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardState state;
    state.deviceRecords = RawRecord(0x39, "C:\\A*");
    state.deviceCount = 1;
    c.arrange(state);
    CGuardDevice device = Device(state);
    EXPECT_FALSE(device.GetList().has_value());
  }
}

TEST(GuardDevice, NtFamilyNeverOpensTheDevice) {
  GuardState state;
  CGuardDevice device = Device(state, nv::core::testing::NtFamily());
  EXPECT_FALSE(device.Open());
  EXPECT_FALSE(device.GetList().has_value());
  EXPECT_FALSE(device.ReadList().has_value());
  EXPECT_FALSE(device.ApplyList({{0x39, "C:\\A*"}}));
  EXPECT_FALSE(device.SaveList({}));
  EXPECT_FALSE(device.NotifyNetwork(1));
  EXPECT_EQ(state.openCalls, 0);
  EXPECT_TRUE(state.requests.empty());
}

TEST(GuardDevice, AFailedOpenIsTriedAgainByTheNextOperation) {
  GuardState state;
  state.opens = false;
  CGuardDevice device = Device(state);
  EXPECT_FALSE(device.NotifyNetwork(1));
  state.opens = true;
  EXPECT_TRUE(device.NotifyNetwork(1));
  EXPECT_EQ(state.openCalls, 2);
}

TEST(GuardDevice, PathsLongerThanTheFieldAreCutBeforeItsNul) {
  const Bytes bytes = nv::core::EncodeRecords({{0x39, std::string(300, 'p')}});
  ASSERT_EQ(bytes.size(), 257u);
  EXPECT_EQ(bytes[255], 'p');
  EXPECT_EQ(bytes[256], 0) << "the field keeps its terminating NUL";
  // A record from the device without any NUL reads as its 256 bytes, no further.
  Bytes raw(257, 'q');
  raw[0] = 0x20;
  const auto records = nv::core::DecodeRecords(raw.data(), 1);
  EXPECT_EQ(records[0].path.size(), 256u);
}

TEST(GuardDevice, PathsTravelInTheDevicesCodePage) {
  GuardState state;
  state.latin1 = true;
  state.deviceRecords = RawRecord(0x39, "C:\\Caf\xE9*");
  state.deviceCount = 1;
  CGuardDevice device = Device(state);
  const auto list = device.GetList();
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ((*list)[0].path, "C:\\Caf\xC3\xA9*");
  ASSERT_TRUE(device.ApplyList(*list));
  EXPECT_EQ(state.requests.back().records, RawRecord(0x39, "C:\\Caf\xE9*"));
}

TEST(GuardDevice, SystemDeviceIsAbsentHere) {
  // Natively there is no device; under Wine (an NT-family system) it is never opened.
  CGuardDevice device{COSversion()};
  EXPECT_FALSE(device.Open());
  EXPECT_FALSE(device.GetList().has_value());
}

}  // namespace
