#include "config_test_support.h"

#include "corekit/testing/registry_sandbox.h"

namespace cfgtest {
namespace {

// Natively every test program of this folder works on a registry store of its own.
const bool g_sandboxed = (corekit::testing::UseTemporaryRegistryStore(), true);

std::string ScratchRoot() { return corekit::testing::ProcessScratchName("SOFTWARE\\NetvaneTest"); }

}  // namespace

std::string ScratchBaseKey() { return ScratchRoot() + "\\Netvane-H"; }

bool DeleteScratchTree() { return corekit::testing::DeleteTree(corekit::kHKeyLocalMachine, ScratchRoot()); }

bool OpenOrCreate(CRegistry& reg, const std::string& path) {
  return reg.Connect(corekit::kHKeyLocalMachine) && reg.Create(path.c_str());
}

}  // namespace cfgtest
