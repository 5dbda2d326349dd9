#include "platform/effects/EchoEffect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tev {

EchoParameters EchoParameters::Clamped() const noexcept {
    const EchoParameters defaults;
    return {ClampOr(wetDryMix, 0.0F, 100.0F, defaults.wetDryMix),
            ClampOr(feedback, 0.0F, 100.0F, defaults.feedback),
            ClampOr(leftDelay, 1.0F, 2000.0F, defaults.leftDelay),
            ClampOr(rightDelay, 1.0F, 2000.0F, defaults.rightDelay), panDelay};
}

namespace {

// With full feedback every repeat is as loud as the sound that made it, so what keeps coming in
// piles up without end: the lines stop growing 12 dB above full scale.
constexpr float kCeiling = 4.0F;

}  // namespace

EchoEffect::EchoEffect(double sampleRate)
    : sampleRate_(sampleRate),
      rampFrames_(FramesIn(0.005, sampleRate)),
      delay_(FramesIn(kMaxDelaySeconds, sampleRate), FramesIn(kFadeSeconds, sampleRate),
             DelayFrames(settings_.leftDelay), DelayFrames(settings_.rightDelay)),
      wet_(settings_.wetDryMix / 100.0F),
      feedback_(settings_.feedback / 100.0F),
      pan_(settings_.panDelay ? 1.0F : 0.0F) {}

int EchoEffect::DelayFrames(float milliseconds) const noexcept {
    return FramesIn(milliseconds / 1000.0, sampleRate_);
}

void EchoEffect::SetAllParameters(const EchoParameters& settings) noexcept {
    settings_ = settings.Clamped();
    handOver_.Publish(settings_);
}

void EchoEffect::Process(float* samples, int frames) noexcept {
    EchoParameters taken;
    if (handOver_.Take(taken)) {
        delay_.Want(DelayFrames(taken.leftDelay), DelayFrames(taken.rightDelay));
        wet_.MoveTo(taken.wetDryMix / 100.0F, rampFrames_);
        feedback_.MoveTo(taken.feedback / 100.0F, rampFrames_);
        pan_.MoveTo(taken.panDelay ? 1.0F : 0.0F, rampFrames_);
    }
    delay_.Begin();
    for (int i = 0; i < frames; ++i) {
        float* frame = samples + 2 * static_cast<ptrdiff_t>(i);
        const float wet = wet_.Next();
        const float feedback = feedback_.Next();
        const float pan = pan_.Next();
        float left = 0.0F;
        float right = 0.0F;
        delay_.Read(left, right);
        const float ownLeft = frame[0] + feedback * left;
        const float ownRight = frame[1] + feedback * right;
        delay_.Write(Tidy(std::clamp(ownLeft + pan * (ownRight - ownLeft), -kCeiling, kCeiling)),
                     Tidy(std::clamp(ownRight + pan * (ownLeft - ownRight), -kCeiling, kCeiling)));
        frame[0] += wet * (left - frame[0]);
        frame[1] += wet * (right - frame[1]);
    }
}

}  // namespace tev
