// Natively the machine key is a file beside the registry store: owner-only, and the only way in.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "corekit/registry_store_path.h"
#include "corekit/testing/registry_sandbox.h"
#include "netvane/machine_secret.h"

namespace fs = std::filesystem;

namespace {

const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

TEST(MachineSecret, OpensOnlyUnchangedWithThisMachinesOwnerOnlyKey) {
  ASSERT_TRUE(g_sandboxed);
  const fs::path key = fs::path(corekit::RegistryStorePath()).parent_path() / "machine.key";
  fs::remove(key);
  const auto sealed = nv::core::ProtectMachineSecret("pw");
  ASSERT_TRUE(sealed.has_value());
  struct stat st {};
  ASSERT_EQ(::stat(key.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(nv::core::UnprotectMachineSecret(*sealed), std::optional<std::string>("pw"));

  struct Case {
    const char* what;
    size_t flip;  // byte to change; past the end: cut one byte off
  };
  const Case damaged[] = {
      {"magic", 0}, {"nonce", 5}, {"text", 16}, {"tag", sealed->size() - 1}, {"cut", 999}};
  for (const Case& c : damaged) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bad = *sealed;
    if (c.flip < bad.size()) {
      bad[c.flip] ^= 0x01;
    } else {
      bad.pop_back();
    }
    EXPECT_FALSE(nv::core::UnprotectMachineSecret(bad).has_value());
  }

  // Another machine's key (or a lost one) opens nothing; a new key is made for new values.
  fs::remove(key);
  EXPECT_FALSE(nv::core::UnprotectMachineSecret(*sealed).has_value());
  const auto again = nv::core::ProtectMachineSecret("pw");
  ASSERT_TRUE(again.has_value());
  EXPECT_FALSE(nv::core::UnprotectMachineSecret(*sealed).has_value());
  EXPECT_EQ(nv::core::UnprotectMachineSecret(*again), std::optional<std::string>("pw"));
}

}  // namespace
