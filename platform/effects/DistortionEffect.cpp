#include "platform/effects/DistortionEffect.h"

#include <algorithm>
#include <cmath>

namespace tev {

DistortionParameters DistortionParameters::Clamped() const noexcept {
    const DistortionParameters defaults;
    return {ClampOr(gain, -60.0F, 0.0F, defaults.gain), ClampOr(edge, 0.0F, 100.0F, defaults.edge),
            ClampOr(postEqCenterFrequency, 100.0F, 8000.0F, defaults.postEqCenterFrequency),
            ClampOr(postEqBandwidth, 100.0F, 8000.0F, defaults.postEqBandwidth),
            ClampOr(preLowpassCutoff, 100.0F, 8000.0F, defaults.preLowpassCutoff)};
}

namespace {

// The low-pass's damping: maximally flat.
constexpr float kButterworth = 1.41421356F;

float Gain(float decibels) noexcept {
    return std::pow(10.0F, decibels / 20.0F);
}

// How hard the curve is driven: from 0 dB at no edge to 48 dB at full edge, where a tone at a
// hundredth of full scale is already cut nearly square.
float Drive(float edge) noexcept {
    return Gain(edge * 0.48F);
}

// A soft clip close to tanh, reaching +-1 at +-3 with a flat slope, so the curve has no corner.
float Shape(float x) noexcept {
    const float t = std::clamp(x, -3.0F, 3.0F);
    return t * (27.0F + t * t) / (27.0F + 9.0F * t * t);
}

}  // namespace

void DistortionEffect::Filter::Tune(float tuning, float damping) noexcept {
    k = damping;
    a1 = 1.0F / (1.0F + tuning * (tuning + damping));
    a2 = tuning * a1;
    a3 = tuning * a2;
}

inline DistortionEffect::Filter::Outputs DistortionEffect::Filter::Run(float x,
                                                                       size_t channel) noexcept {
    std::array<float, 2>& s = state[channel];
    const float v3 = x - s[1];
    const float band = a1 * s[0] + a2 * v3;
    const float low = s[1] + a2 * s[0] + a3 * v3;
    s[0] = Tidy(2.0F * band - s[0]);
    s[1] = Tidy(2.0F * low - s[1]);
    return {low, k * band};
}

DistortionEffect::DistortionEffect(double sampleRate) noexcept
    : sampleRate_(sampleRate),
      rampFrames_(FramesIn(kRampSeconds, sampleRate)),
      gain_(Gain(settings_.gain)),
      drive_(Drive(settings_.edge)),
      lowpassTuning_(Tuning(settings_.preLowpassCutoff)),
      bandTuning_(Tuning(settings_.postEqCenterFrequency)),
      bandDamping_(settings_.postEqBandwidth / settings_.postEqCenterFrequency) {
    lowpass_.Tune(lowpassTuning_.Next(), kButterworth);
    band_.Tune(bandTuning_.Next(), bandDamping_.Next());
}

float DistortionEffect::Tuning(float hz) const noexcept {
    // Kept below Nyquist, where the tangent runs away: only a rate far below the usual comes near.
    const double frequency = std::min(static_cast<double>(hz), 0.45 * sampleRate_);
    return static_cast<float>(std::tan(M_PI * frequency / sampleRate_));
}

void DistortionEffect::SetAllParameters(const DistortionParameters& settings) noexcept {
    settings_ = settings.Clamped();
    handOver_.Publish(settings_);
}

void DistortionEffect::Process(float* samples, int frames) noexcept {
    DistortionParameters taken;
    if (handOver_.Take(taken)) {
        gain_.MoveTo(Gain(taken.gain), rampFrames_);
        drive_.MoveTo(Drive(taken.edge), rampFrames_);
        lowpassTuning_.MoveTo(Tuning(taken.preLowpassCutoff), rampFrames_);
        bandTuning_.MoveTo(Tuning(taken.postEqCenterFrequency), rampFrames_);
        bandDamping_.MoveTo(taken.postEqBandwidth / taken.postEqCenterFrequency, rampFrames_);
    }
    for (int i = 0; i < frames; ++i) {
        if (lowpassTuning_.Moving() || bandTuning_.Moving() || bandDamping_.Moving()) {
            lowpass_.Tune(lowpassTuning_.Next(), kButterworth);
            band_.Tune(bandTuning_.Next(), bandDamping_.Next());
        }
        const float gain = gain_.Next();
        const float drive = drive_.Next();
        for (size_t channel = 0; channel < 2; ++channel) {
            float& sample =
                samples[2 * static_cast<ptrdiff_t>(i) + static_cast<ptrdiff_t>(channel)];
            const float low = lowpass_.Run(sample, channel).low;
            sample = gain * band_.Run(Shape(drive * low), channel).band;
        }
    }
}

}  // namespace tev
