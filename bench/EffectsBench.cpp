// Each sound effect at its default settings on one stereo stream in device blocks of 512 frames
// (about 12 ms): nanoseconds per frame, the processor time a second of sound costs, and the
// multiple of real time. A deck runs its effect on up to four buffers (forward and backward on two
// outputs), so the mixing budget sees four to eight times this. Each block is copied in fresh, as
// the mixer hands over new sound; the copy is a small part of the cost.
#include <benchmark/benchmark.h>

#include <cmath>
#include <type_traits>
#include <vector>

#include "platform/effects/ChorusEffect.h"
#include "platform/effects/ReverbEffect.h"

namespace {

using namespace tev;

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;

template <class Effect>
void RunEffect(benchmark::State& state) {
    Effect effect(kRate);
    using Parameters = std::decay_t<decltype(effect.GetAllParameters())>;
    effect.SetAllParameters(Parameters{});
    std::vector<float> sound(2 * kBlock);
    for (size_t frame = 0; frame < kBlock; ++frame) {
        sound[2 * frame] = sound[2 * frame + 1] =
            0.25F * std::sin(0.05F * static_cast<float>(frame));
    }
    std::vector<float> block = sound;
    for (int settle = 0; settle < 16; ++settle) {  // past the glide in, the lines filled
        effect.Process(block.data(), kBlock);
    }
    for (auto _ : state) {
        block = sound;
        effect.Process(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["ns_per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["cpu_per_audio_s"] = benchmark::Counter(
        frames / kRate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void BM_Chorus(benchmark::State& state) {
    RunEffect<ChorusEffect>(state);
}
BENCHMARK(BM_Chorus);

void BM_Flanger(benchmark::State& state) {
    RunEffect<FlangerEffect>(state);
}
BENCHMARK(BM_Flanger);

void BM_Reverb(benchmark::State& state) {
    RunEffect<ReverbEffect>(state);
}
BENCHMARK(BM_Reverb);

}  // namespace
