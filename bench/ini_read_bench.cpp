// CIniFile::ReadFile of a 1000-line string file: read, decoded and indexed into a fresh model.
// Two shapes: a usual string file (20 sections of 50 texts) and one section of 1000 values, where
// name lookups while reading matter most.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "corekit/ini_file.h"

namespace {

std::string WriteStringFile(int sections, int valuesPerSection) {
  const auto path = std::filesystem::temp_directory_path() / ("ini-bench-" + std::to_string(sections) + "x" +
                                                              std::to_string(valuesPerSection) + ".ini");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (int s = 0; s < sections; ++s) {
    out << "[Section" << s << "]\r\n";
    for (int v = 0; v < valuesPerSection; ++v) {
      out << "szText" << v << "=Netvane message text number " << v << " of section " << s
          << "\\n2nd line\r\n";
    }
  }
  return path.string();
}

void ReadFile(benchmark::State& state, int sections, int valuesPerSection) {
  const std::string path = WriteStringFile(sections, valuesPerSection);
  for (auto _ : state) {
    CIniFile ini(path);
    if (!ini.ReadFile()) state.SkipWithError("ReadFile failed");
    benchmark::DoNotOptimize(ini.GetNumKeys());
  }
  // 1000 value lines plus the section headers
  state.counters["lines"] = sections * (valuesPerSection + 1);
  std::remove(path.c_str());
}

void BM_ReadStringFile20x50(benchmark::State& state) { ReadFile(state, 20, 50); }
BENCHMARK(BM_ReadStringFile20x50)->Unit(benchmark::kMicrosecond);

void BM_ReadOneSection1000(benchmark::State& state) { ReadFile(state, 1, 1000); }
BENCHMARK(BM_ReadOneSection1000)->Unit(benchmark::kMicrosecond);

}  // namespace
