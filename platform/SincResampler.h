#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tev {

// Band-limited interpolation for playing a buffer at any rate: a Kaiser-windowed sinc of 16
// taps, tabulated at 4,096 fractional phases. Images and aliases of a tone stay more than 70 dB
// below it; a phase is taken as the nearest tabulated one, which costs less than the tone's
// level by about 80 dB.
class SincResampler {
  public:
    static constexpr int kTaps = 16;
    static constexpr int kTapsBefore = kTaps / 2 - 1;  // input samples used before the position
    static constexpr int kPhases = 4096;

    // The table, built once (thread-safe), before any audio thread runs.
    static const SincResampler& Instance();

    // Coefficients for a position `frac` (a fraction of a sample in units of 2^-32) past input
    // sample n, each given twice, for the left and the right sample of the interleaved stereo
    // frames n - kTapsBefore ... n + kTaps - 1 - kTapsBefore.
    const float* StereoCoefficients(uint32_t frac) const noexcept {
        const uint32_t phase = (frac >> 20) + ((frac >> 19) & 1U);  // rounded to 4,096 phases
        return table_[phase].data();
    }

  private:
    SincResampler();
    // One extra row: a fraction that rounds up to a whole sample.
    std::array<std::array<float, 2 * kTaps>, kPhases + 1> table_{};
};

}  // namespace tev
