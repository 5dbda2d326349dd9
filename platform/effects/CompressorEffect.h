#pragma once

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"
#include "platform/effects/EffectMath.h"
#include "platform/effects/StereoDelay.h"

namespace tev {

// The standard compressor. One level detector for both channels, so that the stereo image does
// not wander: it holds the louder channel's peaks, letting go with the release time constant,
// and follows a rise with the attack time constant. Above the threshold the level is divided,
// in decibels, by the ratio, then the gain is added. The sound itself is delayed by the
// predelay, so that the detector hears a transient that long before it is turned down. The
// gain, threshold and ratio ramp; a new predelay is cross-faded in over kFadeSeconds.
class CompressorEffect final : public SoundEffect {
  public:
    static constexpr double kMaxPredelaySeconds = 0.004;
    static constexpr double kFadeSeconds = 0.01;

    // Allocates the predelay's line. [UI thread]
    explicit CompressorEffect(double sampleRate);

    // [UI thread] Takes each setting into its range and hands them to the audio thread.
    void SetAllParameters(const CompressorParameters& settings) noexcept;
    const CompressorParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override;

  private:
    // The line's length for a predelay: it is read after the frame is written.
    int DelayLength(float milliseconds) const noexcept;
    // The factor per frame that lets a level decay with a time constant of `milliseconds`.
    float Decay(float milliseconds) const noexcept;

    const double sampleRate_;
    const int rampFrames_;
    CompressorParameters settings_;  // UI thread
    LatestValue<CompressorParameters> handOver_;

    // Audio thread only.
    StereoDelay delay_;
    float attack_;   // the share of a rise the level follows per frame
    float release_;  // what is left of the held peak after a frame
    float peak_ = 0.0F;
    float level_ = 0.0F;
    Ramp gain_;       // linear
    Ramp threshold_;  // in octaves of level (6.02 dB)
    Ramp slope_;      // the share of the level above the threshold taken away: 1 - 1 / ratio
};

}  // namespace tev
