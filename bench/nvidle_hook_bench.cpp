// Cost of what NvIdle's hook procedures do per keyboard or mouse event (the chaining call to the
// next hook aside): read the tick count and store it into the shared area.
#include <benchmark/benchmark.h>

#include "idle_area.h"

namespace {

nv::idle::IdleArea g_area{};

void BM_HookEventAction(benchmark::State& state) {
  for (auto _ : state) {
    nv::idle::OnHookEvent(g_area, 0);
    benchmark::DoNotOptimize(g_area.lastInput);
  }
}
BENCHMARK(BM_HookEventAction);

void BM_HookEventOtherCode(benchmark::State& state) {
  for (auto _ : state) {
    nv::idle::OnHookEvent(g_area, 3);
    benchmark::DoNotOptimize(g_area.lastInput);
  }
}
BENCHMARK(BM_HookEventOtherCode);

}  // namespace
