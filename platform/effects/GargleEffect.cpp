#include "platform/effects/GargleEffect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tev {

GargleParameters GargleParameters::Clamped() const noexcept {
    const GargleParameters defaults;
    const bool known = waveShape == GargleWave::kTriangle || waveShape == GargleWave::kSquare;
    return {std::clamp(rateHz, 1, 1000), known ? waveShape : defaults.waveShape};
}

GargleEffect::GargleEffect(double sampleRate) noexcept
    : sampleRate_(sampleRate),
      rampFrames_(FramesIn(0.005, sampleRate)),
      square_(settings_.waveShape == GargleWave::kSquare ? 1.0F : 0.0F) {
    SetRate(settings_.rateHz);
}

void GargleEffect::SetRate(int hz) noexcept {
    const double period = sampleRate_ / hz;
    step_ = 1.0 / period;
    // The square is the triangle made steeper and cut at silence and full level: its edges take
    // period / (2 * steepness) frames.
    const double edge = std::min(kEdgeSeconds * sampleRate_, period / 8.0);
    steepness_ = static_cast<float>(std::max(1.0, period / (2.0 * edge)));
}

void GargleEffect::SetAllParameters(const GargleParameters& settings) noexcept {
    settings_ = settings.Clamped();
    handOver_.Publish(settings_);
}

void GargleEffect::Process(float* samples, int frames) noexcept {
    GargleParameters taken;
    if (handOver_.Take(taken)) {
        SetRate(taken.rateHz);
        square_.MoveTo(taken.waveShape == GargleWave::kSquare ? 1.0F : 0.0F, rampFrames_);
    }
    for (int i = 0; i < frames; ++i) {
        // Silent at the period's start, full at its middle.
        const float triangle = 1.0F - std::fabs(1.0F - 2.0F * static_cast<float>(phase_));
        const float square = std::clamp(0.5F + (triangle - 0.5F) * steepness_, 0.0F, 1.0F);
        const float level = triangle + square_.Next() * (square - triangle);
        samples[2 * static_cast<ptrdiff_t>(i)] *= level;
        samples[2 * static_cast<ptrdiff_t>(i) + 1] *= level;
        phase_ += step_;
        if (phase_ >= 1.0) {
            phase_ -= 1.0;
        }
    }
}

}  // namespace tev
