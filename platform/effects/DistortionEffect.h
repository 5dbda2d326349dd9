#pragma once

#include <array>
#include <cstddef>

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"
#include "platform/effects/EffectMath.h"

namespace tev {

// The standard distortion: a low-pass before the shaping keeps what the curve would fold back
// above Nyquist small; a soft-clipping curve, driven harder as the edge grows, adds the
// harmonics; a band-pass after it keeps the band they are wanted in; the gain sets the level
// that comes out. A new setting ramps over kRampSeconds: the filters glide to their new
// frequencies rather than jump.
class DistortionEffect final : public SoundEffect {
  public:
    static constexpr double kRampSeconds = 0.02;

    explicit DistortionEffect(double sampleRate) noexcept;

    // [UI thread] Takes each setting into its range and hands them to the audio thread.
    void SetAllParameters(const DistortionParameters& settings) noexcept;
    const DistortionParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override;

  private:
    // A state-variable filter on both channels (trapezoidal integrators): its coefficients can
    // change on every frame without upsetting it.
    struct Filter {
        float k = 1.0F;  // 1 / Q
        float a1 = 1.0F;
        float a2 = 0.0F;
        float a3 = 0.0F;
        std::array<std::array<float, 2>, 2> state{};  // per channel

        // `tuning`: tan(pi * frequency / rate).
        void Tune(float tuning, float damping) noexcept;
        struct Outputs {
            float low;
            float band;  // unity gain at the centre
        };
        Outputs Run(float x, size_t channel) noexcept;
    };

    float Tuning(float hz) const noexcept;

    const double sampleRate_;
    const int rampFrames_;
    DistortionParameters settings_;  // UI thread
    LatestValue<DistortionParameters> handOver_;

    // Audio thread only.
    Ramp gain_;
    Ramp drive_;
    Ramp lowpassTuning_;
    Ramp bandTuning_;
    Ramp bandDamping_;
    Filter lowpass_;
    Filter band_;
};

}  // namespace tev
