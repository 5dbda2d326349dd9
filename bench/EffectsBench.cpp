// Each sound effect on one stereo stream in blocks of 512 frames, as a device asks for them:
// the cost per frame and per second of audio (a deck plays a second of it each second).
// With argument 1 the settings change every block, as under a moving slider, so that the
// effect is always ramping or cross-fading.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/effects/ChorusEffect.h"
#include "platform/effects/CompressorEffect.h"
#include "platform/effects/DistortionEffect.h"
#include "platform/effects/EchoEffect.h"
#include "platform/effects/GargleEffect.h"
#include "platform/effects/ReverbEffect.h"

namespace {

using namespace tev;

constexpr int kBlock = 512;
constexpr double kRate = 44100.0;

// The settings of block `n` under sliders swept to and fro.
void Move(EchoParameters& p, int n) {
    p.leftDelay = p.rightDelay = static_cast<float>(100 + n % 64 * 10);
}
void Move(GargleParameters& p, int n) {
    p.rateHz = 20 + n % 64;
    p.waveShape = n % 2 == 0 ? GargleWave::kSquare : GargleWave::kTriangle;
}
void Move(DistortionParameters& p, int n) {
    p.edge = static_cast<float>(n % 64);
    p.postEqCenterFrequency = static_cast<float>(500 + n % 64 * 50);
}
void Move(CompressorParameters& p, int n) {
    p.gain = static_cast<float>(n % 64) / 4;
    p.threshold = -static_cast<float>(n % 64) / 2;
}
void Move(ChorusParameters& p, int n) {
    p.feedback = static_cast<float>(n % 64 - 32);
    p.frequency = static_cast<float>(n % 64) / 8;
}
void Move(FlangerParameters& p, int n) {
    p.feedback = static_cast<float>(n % 64 - 32);
    p.delay = static_cast<float>(n % 64) / 16;
}
void Move(ReverbParameters& p, int n) {
    p.reverbTime = static_cast<float>(100 + n % 64 * 40);
    p.highFreqRtRatio = static_cast<float>(n % 64 + 1) / 70;
}

template <class Effect, class Parameters>
void BM_Effect(benchmark::State& state) {
    const bool moving = state.range(0) == 1;
    Effect effect(kRate);
    // Ten seconds of a tone at -12 dBFS under quiet noise, played again and again: each block
    // is copied in fresh (a fraction of a nanosecond per frame).
    std::vector<float> source(static_cast<size_t>(10 * kRate) * 2);
    std::mt19937 random(1);
    std::uniform_real_distribution<float> noise(-0.02F, 0.02F);
    for (size_t frame = 0; frame < source.size() / 2; ++frame) {
        const auto tone = static_cast<float>(
            0.25 * std::sin(2 * M_PI * 440.0 * static_cast<double>(frame) / kRate));
        source[2 * frame] = tone + noise(random);
        source[2 * frame + 1] = tone + noise(random);
    }
    std::vector<float> block(2 * kBlock);
    size_t at = 0;
    int n = 0;
    for (auto _ : state) {
        if (moving) {
            Parameters p;
            Move(p, n++);
            effect.SetAllParameters(p);
        }
        std::copy_n(source.begin() + static_cast<ptrdiff_t>(at), block.size(), block.begin());
        at = (at + block.size()) % source.size();
        effect.Process(block.data(), kBlock);
        benchmark::DoNotOptimize(block.data());
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["ns_per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // The time each second of audio takes.
    state.counters["per_audio_second"] = benchmark::Counter(
        frames / kRate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Effect<EchoEffect, EchoParameters>)->Name("BM_Echo")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<GargleEffect, GargleParameters>)->Name("BM_Gargle")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<DistortionEffect, DistortionParameters>)->Name("BM_Distortion")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<CompressorEffect, CompressorParameters>)->Name("BM_Compressor")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<ChorusEffect, ChorusParameters>)->Name("BM_Chorus")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<FlangerEffect, FlangerParameters>)->Name("BM_Flanger")->Arg(0)->Arg(1);
BENCHMARK(BM_Effect<ReverbEffect, ReverbParameters>)->Name("BM_Reverb")->Arg(0)->Arg(1);

}  // namespace
