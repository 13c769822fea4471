// Shared helpers of the registry tests: a scratch key under HKEY_CURRENT_USER that is removed
// afterwards, and (natively) a store of the test run's own in a temporary folder, so no test
// touches a real registry store.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corekit/registry.h"

namespace regtest {

// "Software\NetvaneTest-<pid>" below HKEY_CURRENT_USER.
std::string ScratchPath();

// Deletes the scratch key with everything below it (true when it is gone).
bool DeleteScratchTree();

// Each test starts with an empty scratch key and `reg` open on it.
class ScratchKeyTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A full path below the scratch key.
  std::string Path(const std::string& relative) const { return ScratchPath() + "\\" + relative; }

  CRegistry reg;
};

// True under Wine (which lists values by name rather than in creation order).
bool RunningUnderWine();

}  // namespace regtest
