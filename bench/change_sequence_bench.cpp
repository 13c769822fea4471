// The time a change spends outside the waits the design prescribes: doChange with the real
// switch control (frames built, sent through a link that takes them at once) and the real
// address renewal (over a network helper and emulation that answer at once), every sleep,
// resend interval, frame delay and helper program injected as zero.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "corekit/registry.h"
#include "netvane/cfginfo.h"
#include "netvane/change_ip.h"
#include "netvane/change_sequence.h"
#include "netvane/product_key.h"
#include "netvane/switch_ctrl.h"
#include "nvutil/net_util.h"

namespace {

class InstantLink : public rgtarn::NicLink {
 public:
  bool ReadMac(std::array<unsigned char, 6>& mac) noexcept override {
    mac = {0x02, 0x6e, 0x76, 0, 0, 1};
    return true;
  }
  bool ReadyToSend() noexcept override { return true; }
  bool Send(const unsigned char* f, std::size_t n) noexcept override {
    benchmark::DoNotOptimize(f[n - 1]);
    return true;
  }
};

class NoWaitSwitchEnv : public nv::core::SwitchEnvironment {
 public:
  uint32_t TickCount() noexcept override { return ++tick_; }
  void Sleep(uint32_t) noexcept override {}
  bool ReadLastSend(uint32_t& t) noexcept override {
    t = last_;
    return true;
  }
  void WriteLastSend(uint32_t t) noexcept override { last_ = t; }
  std::unique_ptr<nv::serial::SerialPort> OpenComPort(unsigned) noexcept override { return nullptr; }

 private:
  uint32_t tick_ = 1;
  uint32_t last_ = 0;
};

class BenchSwitch : public CSwitchCtrl {
 public:
  BenchSwitch(const CCfginfo& cfg, nv::core::SwitchEnvironment& env)
      : CSwitchCtrl(cfg, env, [](const std::string&) { return std::make_unique<InstantLink>(); }) {}
};

class InstantNet : public CNetUtil {
 public:
  int DelArpEnt(const char*, const char*) noexcept override { return 1; }
  int AddGWEntry(const char*, const char*, const char*, const char*, std::uint32_t) noexcept override {
    return 1;
  }
  int AddGWEntryVista(const char*, const char*, const char*, const char*, std::uint32_t) noexcept override {
    return 1;
  }
  int DelGWEntry(const char*) noexcept override { return 1; }
  std::uint32_t GetInterfaceNum(const nvutil::MacAddress&) noexcept override { return 2; }
  int LeaseIP(std::uint32_t, int) noexcept override { return 1; }
  int ClearAdapter(std::uint32_t) noexcept override { return 1; }  // never this machine's adapter
};

class InstantEmu : public nv::core::IDhcpEmulation {
 public:
  int DrvOpen() noexcept override { return 1; }
  int SetStartDHCP(const _uIPINFO&) noexcept override { return 1; }
  int SetEndDHCP() noexcept override { return 1; }
  int DrvClose() noexcept override { return 1; }
  std::string RemoveStale(const unsigned char (&)[6]) noexcept override { return {}; }
};

class NoWaitIpEnv : public nv::core::ChangeIpEnvironment {
 public:
  void Sleep(uint32_t) noexcept override {}
  bool RunTool(const std::string&, const std::string&, uint32_t) noexcept override { return true; }
  nv::core::IWinIpCfgWindow* WinIpCfg() noexcept override { return nullptr; }
};

class QuietSteps : public nv::core::IChangeDisplay,
                   public nv::core::IPrinterStep,
                   public nv::core::IDriveStep,
                   public nv::core::ITrayView {
 public:
  void SetNetwork(int) override {}
  void SelectNetwork(int) override {}
  void Progress(int p, const std::string& t) override { benchmark::DoNotOptimize(p + t.size()); }
  void SetProgress(int p, const std::string& t) override { benchmark::DoNotOptimize(p + t.size()); }
  void CloseProgress() override {}
  std::string Finish() override { return "INTERNET"; }
  int PrinterStep(const std::string&, int, int, int) override { return 1; }
  void BeforeSwitch(int) override {}
  void AfterSwitch(int) override {}
  void ShowNetwork(int, const std::string&) override {}
};

// `realStore`: "dwLastSend" is read and written in the registry store (a temporary one).
void RunChanges(benchmark::State& state, bool realStore) {
  CCfginfo cfg;
  cfg.dwIPnum = 2;
  cfg.dwPktCnt = static_cast<uint32_t>(state.range(0));
  cfg.net[0].szBindName = "\\Device\\RgateII_eth0";
  cfg.net[0].useDhcp = 1;
  cfg.net[1].IPAddr = 0x0A5C0132;
  cfg.net[1].NetMask = 0xFFFFFF00;
  cfg.net[1].Gateway = 0x0A5C0101;
  cfg.net[1].ucMacAddr = {0x02, 0x6e, 0x76, 0, 0, 1};
  NoWaitSwitchEnv fakeEnv;
  nv::core::SwitchEnvironment& switchEnv = realStore ? nv::core::SystemSwitchEnvironment() : fakeEnv;
  BenchSwitch switchBox(cfg, switchEnv);
  NoWaitIpEnv ipEnv;
  CChangeIP address(cfg, nv::core::OsFacts{"VISTA", 6}, std::make_unique<InstantNet>(),
                    std::make_unique<InstantEmu>(), ipEnv);
  QuietSteps quiet;
  const nv::core::ChangeSteps steps{quiet, quiet, quiet, switchBox, address, quiet};
  nv::core::ChangeState s;
  for (auto _ : state) {
    s.previous = s.current;
    s.current = 1 - s.current;
    s.busy = 1;
    nv::core::doChange(1, s, cfg, steps);
  }
}
void BM_DoChangeOutsideWaits(benchmark::State& state) { RunChanges(state, false); }
BENCHMARK(BM_DoChangeOutsideWaits)->Arg(3)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_DoChangeWithRegistryStore(benchmark::State& state) {
  const std::string db = "/tmp/nv-change-bench-" + std::to_string(::getpid()) + ".db";
  ::setenv("NV_REGISTRY_DB", db.c_str(), 1);
  {
    CRegistry reg;
    if (!reg.Connect(corekit::kHKeyLocalMachine) || !reg.Create(nv::core::ProductKeyPath().c_str())) {
      state.SkipWithError("cannot create the product key in the temporary store");
      return;
    }
  }
  RunChanges(state, true);
  std::remove(db.c_str());
}
BENCHMARK(BM_DoChangeWithRegistryStore)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
