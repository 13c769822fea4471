// Arming and disarming the DHCP emulation on a real adapter: SetStartDHCP (finds the adapter and
// puts the tc filters that reflect its DHCP traffic in place) and SetEndDHCP (takes them away).
// Needs root: the program first moves itself into a network namespace of its own holding one veth
// pair, so nothing outside it is touched and both go away when the program ends.
#include <sched.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "nvserv/dhcpemu.h"
#include "posix/run_program.h"

namespace {

constexpr char kAdapter[] = "nvbench0";
constexpr char kAdapterMac[] = "02:4e:56:be:0c:01";
constexpr unsigned char kAdapterMacBytes[6] = {0x02, 0x4e, 0x56, 0xbe, 0x0c, 0x01};

bool RunIp(const std::string& ip, const std::vector<std::string>& args, std::string& error) {
  std::vector<std::string> argv{ip};
  argv.insert(argv.end(), args.begin(), args.end());
  const auto result = nvserv::posix::RunProgram(argv, 10000);
  if (result.exitCode == 0) return true;
  error = "ip " + args[0] + " " + args[1] + " failed: " + result.output;
  return false;
}

// A namespace of this process's own with the adapter and its peer up.
bool EnterNamespaceWithAdapter(std::string& error) {
  if (::geteuid() != 0) {
    error = "needs root (a network namespace and a veth pair of its own)";
    return false;
  }
  if (::unshare(CLONE_NEWNET) != 0) {
    error = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
    return false;
  }
  const std::string ip =
      nvserv::posix::FindExecutable({"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"});
  if (ip.empty()) {
    error = "ip not found (iproute2)";
    return false;
  }
  return RunIp(ip, {"link", "set", "lo", "up"}, error) &&
         RunIp(ip,
               {"link", "add", kAdapter, "address", kAdapterMac, "type", "veth", "peer", "name", "nvbench1"},
               error) &&
         RunIp(ip, {"link", "set", kAdapter, "up"}, error) &&
         RunIp(ip, {"link", "set", "nvbench1", "up"}, error);
}

_uIPINFO FixedSettings() {
  _uIPINFO info{};
  info.dwIPAddr = 0xC0A86402;  // 192.168.100.2/24 through .1
  info.dwSubnetMask = 0xFFFFFF00;
  info.dwGateway = 0xC0A86401;
  std::snprintf(info.szDns, sizeof info.szDns, "192.168.100.1");
  std::memcpy(info.ucMacAddr, kAdapterMacBytes, sizeof info.ucMacAddr);
  return info;
}

void BM_SetStartDHCP(benchmark::State& state) {
  CDHCPemu emu;
  if (!emu.DrvOpen()) return state.SkipWithError(("DrvOpen: " + emu.LastError()).c_str());
  const _uIPINFO info = FixedSettings();
  for (auto _ : state) {
    if (!emu.SetStartDHCP(info)) return state.SkipWithError(("SetStartDHCP: " + emu.LastError()).c_str());
    state.PauseTiming();
    emu.SetEndDHCP();
    state.ResumeTiming();
  }
}

void BM_SetEndDHCP(benchmark::State& state) {
  CDHCPemu emu;
  if (!emu.DrvOpen()) return state.SkipWithError(("DrvOpen: " + emu.LastError()).c_str());
  const _uIPINFO info = FixedSettings();
  for (auto _ : state) {
    state.PauseTiming();
    if (!emu.SetStartDHCP(info)) return state.SkipWithError(("SetStartDHCP: " + emu.LastError()).c_str());
    state.ResumeTiming();
    emu.SetEndDHCP();
  }
}

// Thirty single calls each, as a change makes them: the median is the figure to read.
BENCHMARK(BM_SetStartDHCP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(30)
    ->DisplayAggregatesOnly(true);
BENCHMARK(BM_SetEndDHCP)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(30)
    ->DisplayAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  // Before any thread exists: a namespace change holds for the calling thread and what it starts.
  if (!EnterNamespaceWithAdapter(error)) {
    std::fprintf(stderr, "dhcp_emulation_bench: %s\n", error.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
