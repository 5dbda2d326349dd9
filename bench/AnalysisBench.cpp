// The analysis of one chunk heard, against the chunk's 1/15 s: the UI thread waits this long
// for the band chart, the ten octave bands and the scope before it paints.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "analysis/AnalysisThreads.h"

namespace {

using namespace tev;

void BM_AnalyzeOneDeck(benchmark::State& state) {
    AnalysisThreads analysis;
    analysis.SetOctaveEnabled(state.range(0) != 0);
    analysis.SetScopeEnabled(state.range(0) != 0);
    std::vector<int16_t> chunk(AnalysisThreads::kChunkSamples);
    for (int slot = 0; slot < static_cast<int>(kDeckSlots); ++slot) {
        for (size_t k = 0; k < chunk.size(); ++k) {
            chunk[k] = static_cast<int16_t>(
                12000 * std::sin(0.031 * static_cast<double>(slot * chunk.size() + k)));
        }
        analysis.StoreChunk(0, chunk.data(), static_cast<uint32_t>(slot) * kChunkBytes);
    }
    int slot = 0;
    for (auto _ : state) {
        analysis.Analyze(0, slot, false);
        slot = (slot + 1) % static_cast<int>(kDeckSlots);
        benchmark::DoNotOptimize(chartIndex[0]);
    }
    // Chunks analysed per chunk's duration, as the filter bank's benchmark counts.
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / 15.0, benchmark::Counter::kIsRate);
}
// 0: the chart alone (the analyzer off or showing the chart); 1: with the octave and the scope.
BENCHMARK(BM_AnalyzeOneDeck)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
