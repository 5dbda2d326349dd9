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
    // The band's last two inputs and outputs.
    struct History {
        Pair x1{}, x2{}, y1{}, y2{};
        void Add(Pair x, Pair y) noexcept {
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
        }
    };
    // A biquad in transposed direct form II: two values of memory, few enough for five bands
    // to keep theirs in registers.
    struct Stage {
        Pair b0{1.0, 1.0}, b1{}, b2{}, a1{}, a2{};
        Pair s1{}, s2{};
        void Set(const Biquad& f) noexcept;
        // The memory the filter would have, had it made the outputs of `h` from its inputs.
        void StartFrom(const History& h) noexcept {
            s1 = b1 * h.x1 + b2 * h.x2 - a1 * h.y1 - a2 * h.y2;
            s2 = b2 * h.x1 - a2 * h.y1;
        }
        Pair Run(Pair x) noexcept {
            const Pair y = b0 * x + s1;
            s1 = b1 * x - a1 * y + s2;
            s2 = b2 * x - a2 * y;
            return y;
        }
    };
    // What the audio thread keeps of a band: the filter it runs and, during a cross-fade, the
    // one it fades to, which starts as if it had been running all along. Copied in and out
    // whole, so that a block's work can stay in registers.
    struct Voice {
        Stage now;
        Stage next;
        History last;             // as of the end of the last block
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
