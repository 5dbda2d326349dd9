#pragma once

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"
#include "platform/effects/EffectMath.h"

namespace tev {

// The standard gargle: both channels' amplitude modulated between silence and full level by a
// triangle or a square wave at the rate. The square's edges take kEdgeSeconds (at most an
// eighth of a period), so that it does not click; a change of shape is a short cross-fade, and
// a change of rate keeps the wave's phase.
class GargleEffect final : public SoundEffect {
  public:
    static constexpr double kEdgeSeconds = 0.0005;

    explicit GargleEffect(double sampleRate) noexcept;

    // [UI thread] Takes each setting into its range and hands them to the audio thread.
    void SetAllParameters(const GargleParameters& settings) noexcept;
    const GargleParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override;

  private:
    void SetRate(int hz) noexcept;

    const double sampleRate_;
    const int rampFrames_;
    GargleParameters settings_;  // UI thread
    LatestValue<GargleParameters> handOver_;

    // Audio thread only.
    double phase_ = 0.0;  // of the wave, in periods: 0 ... 1
    double step_ = 0.0;   // periods per frame
    float steepness_ = 1.0F;
    Ramp square_;  // 0: the triangle, 1: the square
};

}  // namespace tev
