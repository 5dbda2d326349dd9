#pragma once

#include <array>

#include "platform/EffectChain.h"
#include "platform/LatestValue.h"

namespace tev {

// A parametric equalizer band's settings, as a sound card's standard effect takes them: a
// peaking filter around `center` (80 ... 16,000 Hz), `bandwidth` semitones wide between its
// half-gain points, raising or lowering by `gain` (-15 ... +15 dB). The defaults are the
// effect's own.
struct ParamEqParameters {
    float center = 8000.0F;
    float bandwidth = 12.0F;
    float gain = 0.0F;

    static constexpr float kMinCenter = 80.0F;
    static constexpr float kMaxCenter = 16000.0F;
    // Wider than the 36 semitones the standard effect takes: two bands share ten octaves.
    static constexpr float kMinBandwidth = 1.0F;
    static constexpr float kMaxBandwidth = 120.0F;
    static constexpr float kMaxGain = 15.0F;

    // Each value brought into its range; a value that is not a number takes its default.
    ParamEqParameters Clamped() const noexcept;
};

// A normalised biquad (a0 = 1).
struct Biquad {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;

    // The peaking filter of the settings at `sampleRate` (the bilinear transform of the analogue
    // prototype, its centre kept below Nyquist).
    static Biquad Peaking(const ParamEqParameters& settings, double sampleRate) noexcept;
    bool IsIdentity() const noexcept {
        return b0 == 1.0 && b1 == 0.0 && b2 == 0.0 && a1 == 0.0 && a2 == 0.0;
    }
};

// One band of a parametric equalizer on a stereo stream. Its settings are set on the UI thread,
// which computes the filter and hands it over. The audio thread runs the new filter beside the
// old one, from the old one's memory, and cross-fades their outputs over kFadeFrames, so that a
// moving slider never zips or clicks: a low band's coefficients are so sensitive that gliding
// them would change the sound in a few frames. Settings that arrive during a cross-fade wait for
// its end, the newest of them taken.
class ParamEqBand {
  public:
    static constexpr int kFadeFrames = 1024;

    explicit ParamEqBand(double sampleRate) noexcept : sampleRate_(sampleRate) {}

    // [UI thread]
    void SetAllParameters(const ParamEqParameters& settings) noexcept;
    const ParamEqParameters& GetAllParameters() const noexcept { return settings_; }

    // [audio thread] Filters interleaved stereo in place.
    void Process(float* samples, int frames) noexcept;

  private:
    // Direct form I, per channel: the last two inputs and outputs.
    struct Memory {
        double x1[2] = {};
        double x2[2] = {};
        double y1[2] = {};
        double y2[2] = {};
        double Run(const Biquad& f, int channel, double x) noexcept;
    };

    const double sampleRate_;
    ParamEqParameters settings_;  // UI thread
    LatestValue<Biquad> handOver_;

    // Audio thread only.
    Biquad current_;
    Biquad next_;
    Memory memory_;
    Memory nextMemory_;
    int faded_ = kFadeFrames;  // frames of the cross-fade done; kFadeFrames: none under way
};

// A deck's equalizer: up to kMaxBands bands in a row. Bands it does not use stay at 0 dB, where
// a band passes its input unchanged (and costs nothing).
class ParamEqualizer : public EffectChain {
  public:
    static constexpr int kMaxBands = 5;

    explicit ParamEqualizer(double sampleRate) noexcept;

    ParamEqBand& band(int index) noexcept { return bands_[static_cast<size_t>(index)]; }

    void Process(float* samples, int frames, int sampleRate) noexcept override;

  private:
    std::array<ParamEqBand, kMaxBands> bands_;
};

}  // namespace tev
