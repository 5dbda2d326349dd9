#pragma once

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"
#include "platform/effects/EffectMath.h"
#include "platform/effects/StereoDelay.h"

namespace tev {

// The standard echo: each channel repeats after its own delay, each repeat quieter by the
// feedback, mixed with the dry sound. With pan delay every repeat comes back on the other side.
// A new delay is cross-faded in over kFadeSeconds; the mix, the feedback and the pan delay ramp.
class EchoEffect final : public SoundEffect {
  public:
    static constexpr double kMaxDelaySeconds = 2.0;
    static constexpr double kFadeSeconds = 0.05;

    // Allocates the delay lines for kMaxDelaySeconds at `sampleRate`. [UI thread]
    explicit EchoEffect(double sampleRate);

    // [UI thread] Takes each setting into its range and hands them to the audio thread.
    void SetAllParameters(const EchoParameters& settings) noexcept;
    const EchoParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override;

  private:
    int DelayFrames(float milliseconds) const noexcept;

    const double sampleRate_;
    const int rampFrames_;
    EchoParameters settings_;  // UI thread
    LatestValue<EchoParameters> handOver_;

    // Audio thread only.
    StereoDelay delay_;
    Ramp wet_;
    Ramp feedback_;
    Ramp pan_;  // 0: each line is fed its own channel; 1: the other channel
};

}  // namespace tev
