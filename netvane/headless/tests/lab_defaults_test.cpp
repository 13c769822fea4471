// The lab configuration reads back exactly as written, long texts included.
#include "lab_defaults.h"

#include <gtest/gtest.h>

#include "corekit/os_version.h"
#include "corekit/testing/registry_sandbox.h"
#include "netvane/cfginfo.h"

namespace {

TEST(LabDefaults, ALongInstallFolderReadsBackWhole) {
  corekit::testing::UseTemporaryRegistryStore();
  for (const size_t length : {size_t{20}, size_t{2047}, size_t{3000}}) {
    SCOPED_TRACE(length);
    nv::headless::LabEnvironment env;
    env.adapter = "eth0";
    env.mac = {0x02, 0, 0, 0, 0, 0x01};
    env.installDir = "/" + std::string(length - 1, 'd');
    std::string error;
    ASSERT_TRUE(nv::headless::WriteLabConfiguration(env, error)) << error;

    CCfginfo cfg;
    cfg.LoadBase(COSversion());
    EXPECT_EQ(cfg.InstalledPath, env.installDir);
  }
}

}  // namespace
