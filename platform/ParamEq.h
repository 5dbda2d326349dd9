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

    // A left and a right sample, filtered together.
    using Pair = double __attribute__((vector_size(16)));
    // A biquad in direct form I: its coefficients and its last two inputs and outputs. A form
    // whose memory holds no coefficients, so that a new filter can start from an old one's.
    struct Stage {
        Pair b0{1.0, 1.0}, b1{}, b2{}, a1{}, a2{};
        Pair x1{}, x2{}, y1{}, y2{};
        void Set(const Biquad& f) noexcept;
        Pair Run(Pair x) noexcept {
            const Pair y = b0 * x + b1 * x1 + b2 * x2 - a2 * y2 - a1 * y1;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            return y;
        }
    };

    // What the audio thread keeps of a band: the filter it runs and, during a cross-fade, the
    // one it fades to. Copied in and out whole, so that a block's work can stay in registers.
    struct Voice {
        Stage now;
        Stage next;
        int faded = kFadeFrames;  // frames of the cross-fade done; kFadeFrames: none under way
        bool nowIdentity = true;
        bool nextIdentity = true;

        bool Fading() const noexcept { return faded < kFadeFrames; }
        // Whether the band changes the sound.
        bool Sounds() const noexcept { return Fading() || !nowIdentity; }
        // One frame through the band.
        Pair Run(Pair x) noexcept {
            Pair y = now.Run(x);
            if (Fading()) {
                const double w = static_cast<double>(faded + 1) / kFadeFrames;
                y += (next.Run(x) - y) * w;
                if (++faded == kFadeFrames) {
                    now = next;
                    nowIdentity = nextIdentity;
                }
            }
            return y;
        }
        // A frame that a band at 0 dB passes: its memory follows as the filter's would.
        void Pass(Pair x) noexcept {
            now.x2 = now.y2 = now.x1;
            now.x1 = now.y1 = x;
        }
    };

  private:
    friend class ParamEqualizer;
    // [audio thread] Takes new settings unless a cross-fade is under way.
    void Begin() noexcept;

    const double sampleRate_;
    ParamEqParameters settings_;  // UI thread
    LatestValue<Biquad> handOver_;
    Voice voice_;  // audio thread only
};

// A deck's equalizer: up to kMaxBands bands in a row. Bands it does not use stay at 0 dB, where
// a band passes its input unchanged (and costs nothing). Each frame passes through every band
// before the next frame, so that the bands' filters, each waiting on its own last output, work
// side by side.
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
