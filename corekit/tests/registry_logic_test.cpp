// CRegistry's own rules where the registry has to misbehave on request: a scripted registry
// passes calls through to the platform's and fails the ones a test names.
#include <gtest/gtest.h>

#include <memory>

#include "corekit/registry.h"
#include "corekit/testing/scripted_registry_api.h"
#include "corekit/win32_error_codes.h"
#include "support/registry_test_support.h"

namespace err = corekit::win32_error;
using regtest::ScriptedRegistryApi;
using Op = ScriptedRegistryApi::Op;

namespace {

class RegistryLogic : public regtest::ScratchKeyTest {
 protected:
  std::shared_ptr<ScriptedRegistryApi> api = std::make_shared<ScriptedRegistryApi>();
  CRegistry scripted{api};
};

TEST_F(RegistryLogic, CloseKeepsTheConnectionWhenTheRootWillNotClose) {
  ASSERT_TRUE(scripted.Connect(corekit::kHKeyLocalMachine));
  api->Script(Op::Close, err::kAccessDenied);
  EXPECT_EQ(scripted.Close(), 0);
  EXPECT_EQ(scripted.GetErrorCode(), err::kAccessDenied);
  EXPECT_EQ(scripted.GetRegistryName(), "HKEY_LOCAL_MACHINE");

  EXPECT_TRUE(scripted.Close());
  EXPECT_EQ(scripted.GetRegistryName(), "");
}

TEST_F(RegistryLogic, DeleteKeyStopsAtASubkeyThatWillNotGo) {
  for (const char* leaf : {"\\t\\a\\deep", "\\t\\b"}) {
    CRegistry maker;
    maker.Connect(corekit::kHKeyCurrentUser);
    ASSERT_TRUE(maker.Create((regtest::ScratchPath() + leaf).c_str()));
  }
  ASSERT_TRUE(scripted.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  api->Script(Op::DeleteKey, err::kAccessDenied, -1);  // every key refuses to go

  EXPECT_EQ(scripted.DeleteKey("t"), 0);
  EXPECT_EQ(scripted.GetErrorCode(), err::kAccessDenied);
  EXPECT_EQ(api->Calls(Op::DeleteKey), 1);  // gave up at the first refusal instead of retrying it forever

  api->Clear(Op::DeleteKey);
  EXPECT_TRUE(scripted.DeleteKey("t")) << scripted.GetErrorCode();
}

TEST_F(RegistryLogic, RestoreRetriesOnceAfterEnablingThePrivilege) {
  struct Case {
    const char* what;
    std::vector<int32_t> restore;
    std::vector<int32_t> privilege;
    int result;
    int32_t error;
    int restoreCalls;
  } cases[] = {
      {"first try works", {0}, {}, 1, 0, 1},
      {"works with the privilege", {1314, 0}, {0}, 1, 0, 2},
      {"fails again with the privilege", {1314, 5}, {0}, 0, 5, 2},
      {"privilege not granted", {1314}, {1300}, 0, 1314, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto local = std::make_shared<ScriptedRegistryApi>();
    for (int32_t code : c.restore) local->Script(Op::Restore, code);
    for (int32_t code : c.privilege) local->Script(Op::EnablePrivilege, code);
    CRegistry r(local);
    EXPECT_EQ(r.Restore("hive.dat"), c.result);
    EXPECT_EQ(r.GetErrorCode(), c.error);
    EXPECT_EQ(local->Calls(Op::Restore), c.restoreCalls);
  }
}

TEST_F(RegistryLogic, ConnectToAnotherMachinePassesItsNameOn) {
  api->Script(Op::Connect, 0);
  ASSERT_TRUE(scripted.Connect(corekit::kHKeyLocalMachine, "\\\\FAR"));
  EXPECT_EQ(api->lastMachine, "\\\\FAR");
  EXPECT_EQ(scripted.GetComputerNameA(), "\\\\FAR");

  api->Script(Op::Connect, err::kBadNetPath);
  EXPECT_EQ(scripted.Connect(corekit::kHKeyLocalMachine, "\\\\GONE"), 0);
  EXPECT_EQ(scripted.GetErrorCode(), err::kBadNetPath);
  EXPECT_EQ(scripted.GetComputerNameA(), "\\\\FAR");  // the earlier connection stands
}

TEST_F(RegistryLogic, OpenReadsTheKeyInformationAndCreateDoesNot) {
  ASSERT_TRUE(scripted.Connect(corekit::kHKeyCurrentUser));
  ASSERT_TRUE(scripted.Create((regtest::ScratchPath() + "\\made").c_str()));
  EXPECT_EQ(api->Calls(Op::QueryInfo), 0);
  ASSERT_TRUE(scripted.Open((regtest::ScratchPath() + "\\made").c_str()));
  EXPECT_EQ(api->Calls(Op::QueryInfo), 1);
}

TEST_F(RegistryLogic, ANewConnectionClosesTheOpenSubkey) {
  ASSERT_TRUE(scripted.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  const int closesBefore = api->Calls(Op::Close);
  ASSERT_TRUE(scripted.Connect(corekit::kHKeyCurrentUser));
  EXPECT_EQ(api->Calls(Op::Close), closesBefore + 1);
  EXPECT_EQ(scripted.GetHandle(), nullptr);
  EXPECT_EQ(scripted.GetKeyName(), "");
}

TEST_F(RegistryLogic, AFailedOpenOfTheParentKeepsTheKeyName) {
  ASSERT_TRUE(scripted.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  api->Script(Op::Open, err::kAccessDenied);
  EXPECT_EQ(scripted.DeleteKey("Elsewhere\\leaf"), 0);
  EXPECT_EQ(scripted.GetErrorCode(), err::kAccessDenied);
  EXPECT_EQ(scripted.GetKeyName(), regtest::ScratchPath());
}

TEST_F(RegistryLogic, GrowingValuesAreReadWhole) {
  // The read is sized by the key information; a value that grew since then needs a retry.
  ASSERT_TRUE(reg.SetValue("ucGrows", std::vector<uint8_t>(10, 1)));
  ASSERT_TRUE(scripted.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  ASSERT_TRUE(reg.SetValue("ucGrows", std::vector<uint8_t>(5000, 2)));
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(scripted.GetBinaryValue("ucGrows", bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>(5000, 2));
  EXPECT_EQ(api->Calls(Op::QueryValue), 2);
}

}  // namespace
