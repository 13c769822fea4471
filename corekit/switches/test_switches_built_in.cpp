// Compiled twice, with NV_TEST_SWITCHES 1 and 0 (corekit_switches_on/_off): a library picks
// whether its build honours the test switches by the one it links.
namespace nv::corekit::detail {

bool TestSwitchesBuiltIn() noexcept { return NV_TEST_SWITCHES != 0; }

}  // namespace nv::corekit::detail
