// The configuration store on our own registry store: a full load as at start-up (LoadBase and
// LoadAll) and a full save as the dialogs do it (SaveNetworks and SaveOptions).
// Target: a full load under 5 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "netvane/cfginfo.h"
#include "netvane/product_key.h"

namespace {

const std::string kBase = nv::core::ProductKeyPath();

// A configuration with every value set, as after the IP and option dialogs.
void Fill(CCfginfo& cfg) {
  cfg.SetKeys(kBase);
  cfg.dwIPnum = 2;
  for (uint32_t i = 0; i < 2; ++i) {
    NetCfgRecord& r = cfg.net[i];
    r.IPAddr = 0x0A000001 + i;
    r.NetMask = 0xFFFFFF00;
    r.Gateway = 0x0A0000FE;
    for (int j = 0; j < 3; ++j) {
      r.dns[j] = 0x08080808 + j;
      r.domain[j] = "corp.example";
    }
    r.useDhcp = i;
    r.szNetDev = "Intel(R) PRO/1000 MT Network Connection";
    r.szBindName = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
    r.ucMacAddr = {0, 0x1B, 0x21, 0x3C, 0x4D, static_cast<uint8_t>(i)};
    cfg.szNet[i] = i ? "Internet" : "Intranet";
    cfg.szNetDrv[i] = "F:";
  }
  cfg.dwOpt = 0x1B;
  cfg.dwComport = 1;
}

void BM_CfginfoFullLoad(benchmark::State& state) {
  {
    CCfginfo seed;
    Fill(seed);
    if (!seed.SaveNetworks(COSversion()) || !seed.SaveOptions()) {
      state.SkipWithError("cannot seed the store");
      return;
    }
  }
  const COSversion os;
  CIniFile strings;
  for (auto _ : state) {
    CCfginfo cfg;
    cfg.SetKeys(kBase);
    cfg.LoadBase(os);
    cfg.LoadAll(strings);
    benchmark::DoNotOptimize(cfg.net[1].IPAddr);
  }
}
BENCHMARK(BM_CfginfoFullLoad)->Unit(benchmark::kMillisecond);

void BM_CfginfoFullSave(benchmark::State& state) {
  const COSversion os;
  CCfginfo cfg;
  Fill(cfg);
  for (auto _ : state) {
    if (!cfg.SaveNetworks(os) || !cfg.SaveOptions()) {
      state.SkipWithError("save failed");
      break;
    }
  }
}
BENCHMARK(BM_CfginfoFullSave)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A store of the run's own, never the user's.
  std::string dir = (std::filesystem::temp_directory_path() / "nv-bench-XXXXXX").string();
  if (!::mkdtemp(dir.data())) return 1;
  ::setenv("NV_REGISTRY_DB", (dir + "/registry.db").c_str(), 1);

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(dir);
  return 0;
}
