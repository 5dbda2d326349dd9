// The filter bank against a chunk's 1/15 s: the octave graph's ten bands of 256 taps and the
// thirty bands of the third-octave layout filtering one chunk, and the equalizer's five-band
// design with its curves, which runs on the UI thread.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "analysis/FilterBank.h"

namespace {

using namespace tev;

void BM_ProcessChunk(benchmark::State& state) {
    auto bank = std::make_unique<FilterBank>();
    bank->Design(static_cast<int>(state.range(0)));
    std::vector<float> chunk(FilterBank::kChunk);
    for (size_t k = 0; k < chunk.size(); ++k) {
        chunk[k] = static_cast<float>(8000 * std::sin(0.05 * static_cast<double>(k)));
    }
    bool clipped = false;
    for (auto _ : state) {
        bank->ProcessChunk(chunk.data(), false, true, &clipped, false);
        benchmark::DoNotOptimize(bank->GetBandMax(0));
    }
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / 15.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessChunk)->Arg(10)->Arg(30)->Unit(benchmark::kMillisecond);

void BM_DesignFiveBands(benchmark::State& state) {
    auto bank = std::make_unique<FilterBank>();
    for (auto _ : state) {
        bank->Design(5);
        benchmark::DoNotOptimize(bank->GetCenterFrequency(0));
    }
}
BENCHMARK(BM_DesignFiveBands)->Unit(benchmark::kMillisecond);

}  // namespace
