#pragma once

#include <vector>

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"

namespace tev {

// The stereo delay line that chorus and flanger share. Each channel reads its line at a delay
// that a low-frequency oscillator sweeps around the base delay by `depth` percent of it, the
// right channel's oscillator `phase` degrees ahead of the left's; what is read is fed back into
// the line by `feedback` percent (a negative value inverts it) and mixed with the input,
// `wetDryMix` percent of it. Reads between samples are cubic (Catmull-Rom), so a sweeping delay
// neither steps nor dulls the highs much.
//
// Every change of setting glides over kGlideFrames (93 ms at 44.1 kHz), so that a slider moves
// the delay with a short swoop of pitch, never a click. The oscillator's frequency changes at
// once, its phase carrying on. The delay never falls below two frames: the interpolation's newest
// point must already be in the line.
class ModulatedDelay {
  public:
    // A chorus's or a flanger's settings, already clamped.
    struct Sweep {
        float wetDryMix;
        float depth;
        float feedback;
        float frequency;
        Waveform waveform;
        float delay;
        int phase;
    };

    static constexpr int kSegmentFrames = 32;  // the oscillator's step, linear in between
    static constexpr int kGlideSegments = 128;
    static constexpr int kGlideFrames = kSegmentFrames * kGlideSegments;

    // Allocates lines for base delays up to `maxDelayMs` swept by up to 100 %.
    ModulatedDelay(double sampleRate, float maxDelayMs, const Sweep& initial);

    // [UI thread]
    void Set(const Sweep& sweep) noexcept;
    // [audio thread]
    void Process(float* samples, int frames) noexcept;

  private:
    // What glides, in the audio thread's units: frames, fractions and turns.
    struct Shape {
        float delay = 0.0F;
        float depth = 0.0F;
        float offset = 0.0F;  // the right oscillator's lead, in turns
        float sine = 0.0F;    // 1: a sine, 0: a triangle
        float wet = 0.0F;
        float feedback = 0.0F;
    };
    struct Target {
        Shape shape;
        double turnsPerSegment = 0.0;
    };
    // A per-frame value moving in a straight line across a segment. Each segment starts exactly
    // where the last was meant to end, so that rounding never piles up.
    struct Ramp {
        float value = 0.0F;
        float step = 0.0F;
        float end = 0.0F;
        void To(float next) noexcept {
            value = end;
            end = next;
            step = (end - value) / kSegmentFrames;
        }
    };

    Target TargetOf(const Sweep& sweep) const noexcept;
    // Where the glide from `from_` to `to_` stands.
    Shape Now() const noexcept;
    // A channel's delay, in frames, with its oscillator at `turns`.
    float DelayAt(const Shape& shape, double turns) const noexcept;
    // [audio thread] Takes new settings, moves the glide on and sets the ramps of the next
    // segment.
    void BeginSegment() noexcept;
    void Run(float* samples, int frames) noexcept;

    const double sampleRate_;
    const float maxDelayFrames_;
    LatestValue<Target> handOver_;

    // The first kEcho frames of each line are written again past its end, so that four
    // neighbours can always be read in one piece.
    static constexpr unsigned kEcho = 3;

    // Audio thread only.
    std::vector<float> lines_[2];
    unsigned mask_;
    unsigned write_ = 0;
    Shape from_;
    Shape to_;
    int glided_ = kGlideSegments;
    double turnsPerSegment_;
    double turns_ = 0.0;  // the left oscillator's phase
    int segmentLeft_ = 0;
    Ramp delay_[2];
    Ramp wet_;
    Ramp feedback_;
};

// A chorus: a short delay (up to 20 ms) slowly swept, thickening the sound.
class ChorusEffect final : public SoundEffect {
  public:
    explicit ChorusEffect(double sampleRate);

    // [UI thread] Clamps the settings to their ranges and hands them to the audio thread.
    void SetAllParameters(const ChorusParameters& parameters) noexcept;
    // [UI thread] The settings in use, as clamped.
    const ChorusParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override { line_.Process(samples, frames); }

  private:
    ChorusParameters settings_;
    ModulatedDelay line_;
};

// A flanger: a very short delay (up to 4 ms) swept deep, combing the sound with moving notches.
class FlangerEffect final : public SoundEffect {
  public:
    explicit FlangerEffect(double sampleRate);

    // [UI thread] Clamps the settings to their ranges and hands them to the audio thread.
    void SetAllParameters(const FlangerParameters& parameters) noexcept;
    // [UI thread] The settings in use, as clamped.
    const FlangerParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override { line_.Process(samples, frames); }

  private:
    FlangerParameters settings_;
    ModulatedDelay line_;
};

}  // namespace tev
