#include "platform/effects/ReverbEffect.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/Multiversion.h"

namespace tev {
namespace {

using Lanes = ReverbEffect::Lanes;
using LaneMask = int __attribute__((vector_size(sizeof(Lanes))));

// The lines' lengths at 44.1 kHz, about 15 % apart.
constexpr std::array<unsigned, ReverbEffect::kLines> kLengths44k = {1009, 1151, 1321, 1523,
                                                                    1747, 2011, 2311, 2659};

// Where each input enters the lines: two rows of the mixing matrix other than the two the
// outputs are (the sum of all lines and their alternating sum). Their sum and their difference
// each fill as many even lines as odd ones, so that even the first echoes of a mono or a side
// sound come out differently on the two sides.
constexpr Lanes kLeftIn = {0.5F, 0.5F, -0.5F, -0.5F, 0.5F, 0.5F, -0.5F, -0.5F};
constexpr Lanes kRightIn = {0.5F, 0.5F, -0.5F, -0.5F, -0.5F, -0.5F, 0.5F, 0.5F};

// What is quieter than this (-400 dB) is silence, and never becomes a denormal.
constexpr float kTiny = 1e-20F;

float ClampOr(float value, float lowest, float highest, float fallback) noexcept {
    return std::isnan(value) ? fallback : std::clamp(value, lowest, highest);
}

bool IsPrime(unsigned n) noexcept {
    if (n < 2) {
        return false;
    }
    for (unsigned d = 2; d * d <= n; ++d) {
        if (n % d == 0) {
            return false;
        }
    }
    return true;
}

// An input sample as the lines may take it: silence for what is too small to matter and for
// what no sound can be (not a number, infinite or absurdly loud), so that one bad sample cannot
// ring on in the room.
float Audible(float v) noexcept {
    const float size = std::fabs(v);
    return size >= kTiny && size <= 1e6F ? v : 0.0F;
}

// In place: a vector by value would change the calling convention between the two builds.
inline __attribute__((always_inline)) void Flush(Lanes& v) noexcept {
    const LaneMask keep = (v > kTiny) | (v < -kTiny);
    v = (Lanes)((LaneMask)v & keep);
}

// The orthogonal Hadamard mixing, unscaled (its 1/sqrt(8) is in the shelves' gains): three
// butterfly stages.
inline __attribute__((always_inline)) void Mix(Lanes& v) noexcept {
    v = v * Lanes{1, -1, 1, -1, 1, -1, 1, -1} +
        __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
    v = v * Lanes{1, 1, -1, -1, 1, 1, -1, -1} +
        __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
    v = v * Lanes{1, 1, 1, 1, -1, -1, -1, -1} +
        __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3);
}

template <bool kGliding>
inline __attribute__((always_inline)) void Run(const ReverbEffect::Loop& loop,
                                               ReverbEffect::Tank& tank, float* samples,
                                               int frames) noexcept {
    ReverbEffect::Gains g = tank.now;
    const ReverbEffect::Gains step = tank.step;
    Lanes shelves = tank.shelves;
    unsigned write = tank.write;
    for (int i = 0; i < frames; ++i) {
        Lanes out;
        for (size_t k = 0; k < ReverbEffect::kLines; ++k) {
            out[k] = loop.slots[(write - loop.lengths[k]) & loop.mask].line[k];
        }
        // Transposed direct form: one value of memory per line.
        Lanes mixed = g.b0 * out + shelves;
        shelves = g.b1 * out - loop.a1 * mixed;
        Flush(shelves);
        Mix(mixed);
        Flush(mixed);
        const float left = samples[2 * i];
        const float right = samples[2 * i + 1];
        loop.slots[write].line =
            mixed + (g.in * Audible(left)) * kLeftIn + (g.in * Audible(right)) * kRightIn;
        samples[2 * i] = left + g.wet * mixed[0];
        samples[2 * i + 1] = right + g.wet * mixed[1];
        write = (write + 1) & loop.mask;
        if constexpr (kGliding) {
            g.b0 += step.b0;
            g.b1 += step.b1;
            g.in += step.in;
            g.wet += step.wet;
        }
    }
    tank.now = g;
    tank.shelves = shelves;
    tank.write = write;
}

// Eight lines in one vector: with AVX, one instruction each.
TEV_WITH_FMA_BUILD
void Reverberate(const ReverbEffect::Loop& loop, ReverbEffect::Tank& tank, float* samples,
                 int frames, bool gliding) noexcept {
    if (gliding) {
        Run<true>(loop, tank, samples, frames);
    } else {
        Run<false>(loop, tank, samples, frames);
    }
}

}  // namespace

ReverbParameters ReverbParameters::Clamped() const noexcept {
    const ReverbParameters defaults;
    return {ClampOr(inGain, -96.0F, 0.0F, defaults.inGain),
            ClampOr(reverbMix, -96.0F, 0.0F, defaults.reverbMix),
            ClampOr(reverbTime, 0.001F, 3000.0F, defaults.reverbTime),
            ClampOr(highFreqRtRatio, 0.001F, 0.999F, defaults.highFreqRtRatio)};
}

ReverbEffect::ReverbEffect(double sampleRate) : sampleRate_(sampleRate) {
    // The lengths keep their times at any rate, each moved to a prime so that no two lines'
    // echoes ever coincide.
    std::array<unsigned, kLines> lengths{};
    for (size_t k = 0; k < kLines; ++k) {
        auto n = static_cast<unsigned>(std::lround(kLengths44k[k] * sampleRate / 44100.0));
        while (!IsPrime(n)) {
            ++n;
        }
        lengths[k] = n;
    }
    const unsigned size = std::bit_ceil(lengths.back() + 1);
    slots_.assign(size, Slot{});
    const double t = std::tan(M_PI * kCrossoverHz / sampleRate);
    loop_ = {slots_.data(), size - 1, lengths, static_cast<float>((t - 1.0) / (t + 1.0))};
    target_ = GainsOf(settings_);
    tank_.now = target_;
}

ReverbEffect::Gains ReverbEffect::GainsOf(const ReverbParameters& p) const noexcept {
    // Loop gains this small are silence: a path loses more than 180 dB on one trip.
    const auto tiny = [](double g) { return g < 1e-9 ? 0.0 : g; };
    const double seconds = p.reverbTime / 1000.0;
    // The shelf (the bilinear transform of (gHigh s + gLow w) / (s + w), w at the crossover).
    const double t = std::tan(M_PI * kCrossoverHz / sampleRate_);
    const double scale = 1.0 / (std::sqrt(double{kLines}) * (1.0 + t));
    Gains g;
    for (size_t k = 0; k < kLines; ++k) {
        const double trip = loop_.lengths[k] / sampleRate_;
        const double low = tiny(std::pow(10.0, -3.0 * trip / seconds));
        const double high = tiny(std::pow(10.0, -3.0 * trip / (seconds * p.highFreqRtRatio)));
        g.b0[k] = static_cast<float>((high + low * t) * scale);
        g.b1[k] = static_cast<float>((low * t - high) * scale);
    }
    g.in = static_cast<float>(std::pow(10.0, p.inGain / 20.0));
    g.wet = static_cast<float>(std::pow(10.0, p.reverbMix / 20.0));
    return g;
}

void ReverbEffect::SetAllParameters(const ReverbParameters& parameters) noexcept {
    settings_ = parameters.Clamped();
    handOver_.Publish(GainsOf(settings_));
}

void ReverbEffect::Process(float* samples, int frames) noexcept {
    if (handOver_.Take(target_)) {
        const float n = kGlideFrames;
        tank_.step = {(target_.b0 - tank_.now.b0) / n, (target_.b1 - tank_.now.b1) / n,
                      (target_.in - tank_.now.in) / n, (target_.wet - tank_.now.wet) / n};
        tank_.glideLeft = kGlideFrames;
    }
    if (tank_.glideLeft > 0) {
        const int gliding = std::min(frames, tank_.glideLeft);
        Reverberate(loop_, tank_, samples, gliding, true);
        tank_.glideLeft -= gliding;
        if (tank_.glideLeft == 0) {
            tank_.now = target_;  // exactly, whatever the steps' rounding
        }
        samples += 2 * gliding;
        frames -= gliding;
    }
    Reverberate(loop_, tank_, samples, frames, false);
}

}  // namespace tev
