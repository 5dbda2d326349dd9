#pragma once

#include <array>
#include <vector>

#include "platform/LatestValue.h"
#include "platform/SoundEffect.h"

namespace tev {

// A room's reverberation, set as the standard "Waves" reverb is: the input's level into the
// room (`inGain`), the level of the reverberation added to the unchanged dry sound
// (`reverbMix`), the time the tail takes to die away by 60 dB (`reverbTime`) and how much sooner
// the highs die (`highFreqRtRatio` times the reverb time).
//
// A feedback delay network: eight delay lines of mutually prime lengths between 23 and 60 ms,
// their outputs mixed by an orthogonal (Hadamard) matrix and fed back. Each line's loop gain is
// set from its length so that every path loses 60 dB in the reverb time, and a first-order
// shelf in each loop takes the highs above kCrossoverHz down faster, as the ratio says. The
// left and right inputs enter the lines with orthogonal signs, and the outputs are two other
// orthogonal sums of the lines, so the two sides of the tail are decorrelated. The eight lines
// run side by side in one vector.
//
// Changes glide over kGlideFrames: a shorter reverb time or a lower level takes the tail down
// quickly but smoothly.
class ReverbEffect final : public SoundEffect {
  public:
    static constexpr int kLines = 8;
    static constexpr int kGlideFrames = 1024;
    static constexpr double kCrossoverHz = 3000.0;

    // Allocates the delay lines.
    explicit ReverbEffect(double sampleRate);

    // [UI thread] Clamps the settings to their ranges and hands them to the audio thread.
    void SetAllParameters(const ReverbParameters& parameters) noexcept;
    // [UI thread] The settings in use, as clamped.
    const ReverbParameters& GetAllParameters() const noexcept { return settings_; }

    void Process(float* samples, int frames) noexcept override;

    // The working parts, open to the processing kernel in the source file.

    // One value for each line. Aligned for the widest build, even in a translation unit built
    // for processors without AVX, whose vectors would be aligned to 16 bytes only.
    using Lanes = float __attribute__((vector_size(4 * kLines), aligned(4 * kLines)));
    // What the settings make of the loop and the levels; the shelves' common pole is fixed.
    struct Gains {
        Lanes b0{};  // the shelves' feed-forward terms, the mixing's scale included
        Lanes b1{};
        float in = 0.0F;
        float wet = 0.0F;
    };
    // What the audio thread carries from one block to the next.
    struct Tank {
        Lanes shelves{};  // each line's shelf's memory
        Gains now;
        Gains step;  // per frame, while gliding
        int glideLeft = 0;
        unsigned write = 0;
    };
    // The delay lines, one frame of all of them in one slot.
    struct Slot {
        Lanes line;
    };
    struct Loop {
        Slot* slots;
        unsigned mask;
        std::array<unsigned, kLines> lengths;
        float a1;  // the shelves' pole
    };

  private:
    Gains GainsOf(const ReverbParameters& p) const noexcept;

    const double sampleRate_;
    ReverbParameters settings_;  // UI thread
    LatestValue<Gains> handOver_;

    // Audio thread only.
    std::vector<Slot> slots_;
    Loop loop_;
    Gains target_;
    Tank tank_;
};

}  // namespace tev
