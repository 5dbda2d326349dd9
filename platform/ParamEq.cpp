#include "platform/ParamEq.h"

#include <algorithm>
#include <cmath>

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

double ParamEqBand::Memory::Run(const Biquad& f, int channel, double x) noexcept {
    const int c = channel;
    const double y = f.b0 * x + f.b1 * x1[c] + f.b2 * x2[c] - f.a1 * y1[c] - f.a2 * y2[c];
    x2[c] = x1[c];
    x1[c] = x;
    y2[c] = y1[c];
    y1[c] = y;
    return y;
}

void ParamEqBand::Process(float* samples, int frames) noexcept {
    if (faded_ >= kFadeFrames && handOver_.Take(next_)) {
        nextMemory_ = memory_;
        faded_ = 0;
    }
    if (faded_ >= kFadeFrames) {
        if (current_.IsIdentity()) {
            // At 0 dB the band passes its input; its memory follows as the filter's would.
            for (int c = 0; c < 2 && frames > 0; ++c) {
                const double last = samples[2 * (frames - 1) + c];
                const double before = frames > 1 ? samples[2 * (frames - 2) + c] : memory_.x1[c];
                memory_.x1[c] = memory_.y1[c] = last;
                memory_.x2[c] = memory_.y2[c] = before;
            }
            return;
        }
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < 2; ++c) {
                samples[2 * i + c] =
                    static_cast<float>(memory_.Run(current_, c, samples[2 * i + c]));
            }
        }
        return;
    }
    for (int i = 0; i < frames; ++i) {
        const double w = faded_ < kFadeFrames ? static_cast<double>(faded_ + 1) / kFadeFrames : 1.0;
        for (int c = 0; c < 2; ++c) {
            const double x = samples[2 * i + c];
            const double from = memory_.Run(current_, c, x);
            const double to = nextMemory_.Run(next_, c, x);
            samples[2 * i + c] = static_cast<float>(from + (to - from) * w);
        }
        if (faded_ < kFadeFrames && ++faded_ == kFadeFrames) {
            current_ = next_;
            memory_ = nextMemory_;
        }
    }
}

ParamEqualizer::ParamEqualizer(double sampleRate) noexcept
    : bands_{ParamEqBand(sampleRate), ParamEqBand(sampleRate), ParamEqBand(sampleRate),
             ParamEqBand(sampleRate), ParamEqBand(sampleRate)} {}

void ParamEqualizer::Process(float* samples, int frames, int /*sampleRate*/) noexcept {
    for (ParamEqBand& band : bands_) {
        band.Process(samples, frames);
    }
}

}  // namespace tev
