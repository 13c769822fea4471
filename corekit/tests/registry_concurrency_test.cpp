// Two processes writing into the same key at the same time lose nothing: natively they share
// one store file, under Wine the wineserver's registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "corekit/registry.h"
#include "platform/testing/child_process.h"
#include "support/registry_test_support.h"

namespace {

constexpr int kValuesPerWriter = 200;
constexpr const char* kWriterFlag = "--registry-writer";

// Child mode: writes `count` numbered values "<prefix><i>" = i into `path` below HKCU.
int RunWriter(const char* path, const std::string& prefix, int count) {
  CRegistry reg;
  if (!reg.uOpenKey(corekit::kHKeyCurrentUser, path)) return 2;
  for (int i = 0; i < count; ++i) {
    if (!reg.SetValue((prefix + std::to_string(i)).c_str(), static_cast<uint32_t>(i))) return 3;
  }
  return 0;
}

class RegistryConcurrency : public regtest::ScratchKeyTest {};

TEST_F(RegistryConcurrency, TwoWritingProcessesLoseNothing) {
  const std::string self = nv::testing::SelfPath();
  const std::string count = std::to_string(kValuesPerWriter);
  nv::testing::ChildProcess first({self, kWriterFlag, regtest::ScratchPath(), "a", count});
  nv::testing::ChildProcess second({self, kWriterFlag, regtest::ScratchPath(), "b", count});
  ASSERT_TRUE(first.started());
  ASSERT_TRUE(second.started());
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);

  CRegistry check;
  ASSERT_TRUE(check.uOpenKey(corekit::kHKeyCurrentUser, regtest::ScratchPath().c_str()));
  EXPECT_EQ(check.GetNumberOfValues(), 2u * kValuesPerWriter);
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kValuesPerWriter; ++i) {
      uint32_t number = 0xFFFFFFFF;
      const std::string name = prefix + std::to_string(i);
      ASSERT_TRUE(check.GetValue(name.c_str(), number)) << name;
      ASSERT_EQ(number, static_cast<uint32_t>(i)) << name;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == kWriterFlag)
    return RunWriter(argv[2], argv[3], std::atoi(argv[4]));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
