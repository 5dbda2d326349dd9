#include "platform/ParamEq.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "platform/Multiversion.h"

namespace tev {
namespace {

float ClampOr(float value, float lowest, float highest, float fallback) noexcept {
    return std::isnan(value) ? fallback : std::clamp(value, lowest, highest);
}

}  // namespace

ParamEqParameters ParamEqParameters::Clamped() const noexcept {
    const ParamEqParameters defaults;
    return {ClampOr(center, kMinCenter, kMaxCenter, defaults.center),
            ClampOr(bandwidth, kMinBandwidth, kMaxBandwidth, defaults.bandwidth),
            ClampOr(gain, -kMaxGain, kMaxGain, defaults.gain)};
}

Biquad Biquad::Peaking(const ParamEqParameters& settings, double sampleRate) noexcept {
    const ParamEqParameters p = settings.Clamped();
    if (p.gain == 0.0F) {
        return {};  // exactly the identity, which the band skips
    }
    const double center = std::min(static_cast<double>(p.center), 0.45 * sampleRate);
    const double a = std::pow(10.0, p.gain / 40.0);
    const double w0 = 2.0 * M_PI * center / sampleRate;
    const double octaves = p.bandwidth / 12.0;
    // The bandwidth is kept between the half-gain points after the bilinear transform's warping.
    const double alpha =
        std::sin(w0) * std::sinh(std::log(2.0) / 2.0 * octaves * w0 / std::sin(w0));
    const double a0 = 1.0 + alpha / a;
    const double cosine = -2.0 * std::cos(w0);
    return {(1.0 + alpha * a) / a0, cosine / a0, (1.0 - alpha * a) / a0, cosine / a0,
            (1.0 - alpha / a) / a0};
}

void ParamEqBand::SetAllParameters(const ParamEqParameters& settings) noexcept {
    settings_ = settings.Clamped();
    handOver_.Publish(Biquad::Peaking(settings_, sampleRate_));
}

void ParamEqBand::Stage::Set(const Biquad& f) noexcept {
    b0 = Pair{f.b0, f.b0};
    b1 = Pair{f.b1, f.b1};
    b2 = Pair{f.b2, f.b2};
    a1 = Pair{f.a1, f.a1};
    a2 = Pair{f.a2, f.a2};
}

void ParamEqBand::Begin() noexcept {
    Biquad taken;
    if (!voice_.Fading() && handOver_.Take(taken)) {
        voice_.next.Set(taken);
        voice_.next.StartFrom(voice_.last);
        voice_.nextIdentity = taken.IsIdentity();
        voice_.faded = 0;
    }
}

ParamEqualizer::ParamEqualizer(double sampleRate) noexcept
    : bands_{ParamEqBand(sampleRate), ParamEqBand(sampleRate), ParamEqBand(sampleRate),
             ParamEqBand(sampleRate), ParamEqBand(sampleRate)} {}

namespace {

using Voice = ParamEqBand::Voice;
using Pair = ParamEqBand::Pair;

// `frames` frames through the N bands that change the sound, copied in for the block so that
// their filters can live in registers. Steady bands run their filter alone.
template <size_t N, bool kSteady>
inline __attribute__((always_inline)) void Cascade(
    const std::array<Voice*, ParamEqualizer::kMaxBands>& voices, float* samples,
    int frames) noexcept {
    using Unit = std::conditional_t<kSteady, ParamEqBand::Stage, Voice>;
    std::array<Unit, N> local;
    for (size_t k = 0; k < N; ++k) {
        if constexpr (kSteady) {
            local[k] = voices[k]->now;
        } else {
            local[k] = *voices[k];
        }
    }
    for (int i = 0; i < frames; ++i) {
        Pair v{samples[2 * i], samples[2 * i + 1]};
        for (size_t k = 0; k < N; ++k) {
            v = local[k].Run(v);
        }
        samples[2 * i] = static_cast<float>(v[0]);
        samples[2 * i + 1] = static_cast<float>(v[1]);
    }
    for (size_t k = 0; k < N; ++k) {
        if constexpr (kSteady) {
            voices[k]->now = local[k];
        } else {
            *voices[k] = local[k];
        }
    }
}

template <bool kSteady>
inline __attribute__((always_inline)) void CascadeOf(
    const std::array<Voice*, ParamEqualizer::kMaxBands>& voices, size_t count, float* samples,
    int frames) noexcept {
    switch (count) {
        case 1:
            Cascade<1, kSteady>(voices, samples, frames);
            break;
        case 2:
            Cascade<2, kSteady>(voices, samples, frames);
            break;
        case 3:
            Cascade<3, kSteady>(voices, samples, frames);
            break;
        case 4:
            Cascade<4, kSteady>(voices, samples, frames);
            break;
        case 5:
            Cascade<5, kSteady>(voices, samples, frames);
            break;
        default:
            break;
    }
}

// With fused multiply-adds a band costs about half as many operations.
TEV_WITH_FMA_BUILD
void RunBands(const std::array<Voice*, ParamEqualizer::kMaxBands>& voices, size_t count,
              bool steady, float* samples, int frames) noexcept {
    if (steady) {
        CascadeOf<true>(voices, count, samples, frames);
    } else {
        CascadeOf<false>(voices, count, samples, frames);
    }
}

}  // namespace

void ParamEqualizer::Process(float* samples, int frames, int /*sampleRate*/) noexcept {
    std::array<Voice*, kMaxBands> sounding{};
    size_t count = 0;
    bool steady = true;
    for (ParamEqBand& band : bands_) {
        band.Begin();
        if (band.voice_.Sounds()) {
            sounding[count++] = &band.voice_;
            steady = steady && !band.voice_.Fading();
        }
    }
    // The last two frames go through every band one by one, so that each band knows what it
    // took and gave, and a new filter can start from there.
    const int fast = count == 0 ? 0 : std::max(frames - 2, 0);
    RunBands(sounding, count, steady, samples, fast);
    for (int i = std::max(fast, frames - 2); i < frames; ++i) {
        Pair v{samples[2 * i], samples[2 * i + 1]};
        for (ParamEqBand& band : bands_) {
            const Pair in = v;
            if (band.voice_.Sounds()) {
                v = band.voice_.Run(v);
            }
            band.voice_.last.Add(in, v);
        }
        samples[2 * i] = static_cast<float>(v[0]);
        samples[2 * i + 1] = static_cast<float>(v[1]);
    }
}

}  // namespace tev
