#include "platform/effects/CompressorEffect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tev {

CompressorParameters CompressorParameters::Clamped() const noexcept {
    const CompressorParameters defaults;
    return {ClampOr(gain, -60.0F, 60.0F, defaults.gain),
            ClampOr(attack, 0.01F, 500.0F, defaults.attack),
            ClampOr(release, 50.0F, 3000.0F, defaults.release),
            ClampOr(threshold, -60.0F, 0.0F, defaults.threshold),
            ClampOr(ratio, 1.0F, 100.0F, defaults.ratio),
            ClampOr(predelay, 0.0F, 4.0F, defaults.predelay)};
}

namespace {

constexpr float kDecibelsPerOctave = 6.0206F;

float Gain(float decibels) noexcept {
    return std::pow(10.0F, decibels / 20.0F);
}

}  // namespace

CompressorEffect::CompressorEffect(double sampleRate)
    : sampleRate_(sampleRate),
      rampFrames_(FramesIn(0.005, sampleRate)),
      delay_(DelayLength(static_cast<float>(kMaxPredelaySeconds * 1000.0)),
             FramesIn(kFadeSeconds, sampleRate), DelayLength(settings_.predelay),
             DelayLength(settings_.predelay)),
      attack_(1.0F - Decay(settings_.attack)),
      release_(Decay(settings_.release)),
      gain_(Gain(settings_.gain)),
      threshold_(settings_.threshold / kDecibelsPerOctave),
      slope_(1.0F - 1.0F / settings_.ratio) {}

int CompressorEffect::DelayLength(float milliseconds) const noexcept {
    return static_cast<int>(std::lround(milliseconds / 1000.0 * sampleRate_)) + 1;
}

float CompressorEffect::Decay(float milliseconds) const noexcept {
    return static_cast<float>(std::exp(-1000.0 / (milliseconds * sampleRate_)));
}

void CompressorEffect::SetAllParameters(const CompressorParameters& settings) noexcept {
    settings_ = settings.Clamped();
    handOver_.Publish(settings_);
}

void CompressorEffect::Process(float* samples, int frames) noexcept {
    CompressorParameters taken;
    if (handOver_.Take(taken)) {
        const int length = DelayLength(taken.predelay);
        delay_.Want(length, length);
        attack_ = 1.0F - Decay(taken.attack);
        release_ = Decay(taken.release);
        gain_.MoveTo(Gain(taken.gain), rampFrames_);
        threshold_.MoveTo(taken.threshold / kDecibelsPerOctave, rampFrames_);
        slope_.MoveTo(1.0F - 1.0F / taken.ratio, rampFrames_);
    }
    delay_.Begin();
    for (int i = 0; i < frames; ++i) {
        float* frame = samples + 2 * static_cast<ptrdiff_t>(i);
        const float left = Tidy(frame[0]);
        const float right = Tidy(frame[1]);
        peak_ = Tidy(std::max(std::max(std::fabs(left), std::fabs(right)), peak_ * release_));
        level_ = Tidy(peak_ > level_ ? level_ + attack_ * (peak_ - level_) : peak_);
        const float over = std::log2(std::max(level_, 1e-10F)) - threshold_.Next();
        const float slope = slope_.Next();
        float gain = gain_.Next();
        if (over > 0.0F) {
            gain *= std::exp2(-over * slope);
        }
        delay_.Write(left, right);
        float delayedLeft = 0.0F;
        float delayedRight = 0.0F;
        delay_.Read(delayedLeft, delayedRight);
        frame[0] = delayedLeft * gain;
        frame[1] = delayedRight * gain;
    }
}

}  // namespace tev
