#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace tev {

// One band-limited interpolation filter: a Kaiser-windowed sinc, tabulated at kPhases fractional
// positions and interpolated linearly between them. Its pass band reaches 40 % of the input's
// rate within a fraction of a decibel; whatever would fold back below 40 % of the output's rate
// (images of the input, aliases of what the output cannot carry) is attenuated by about 90 dB.
// Immutable once built.
class SincKernel {
  public:
    static constexpr int kPhases = 512;

    // `step`: input frames per output frame this kernel serves at most.
    explicit SincKernel(double step);

    int taps() const { return taps_; }  // a multiple of 4
    // Input frames used before the position.
    int tapsBefore() const { return taps_ / 2 - 1; }

    // The coefficients for a position `frac` (a fraction of a frame in units of 2^-32) past
    // input frame n are row + t * delta, each given twice (for the left and the right sample of
    // the interleaved frames n - tapsBefore() ... n + taps() - 1 - tapsBefore()).
    struct Phase {
        const float* row;
        const float* delta;
        float t;
    };
    Phase At(uint32_t frac) const noexcept {
        const size_t offset = static_cast<size_t>(frac >> kFractionShift) * 2 * taps_;
        return {rows_.data() + offset, deltas_.data() + offset,
                static_cast<float>(frac & kFractionMask) * kFractionScale};
    }

  private:
    static constexpr int kFractionShift = 23;  // 32 bits less log2(kPhases)
    static constexpr uint32_t kFractionMask = (1U << kFractionShift) - 1;
    static constexpr float kFractionScale = 1.0F / static_cast<float>(1U << kFractionShift);

    int taps_ = 0;
    std::vector<float> rows_;    // kPhases rows of 2 * taps
    std::vector<float> deltas_;  // each row's difference to the next
};

// The kernels in use, one for each range of steps: slowing down and unchanged speed share one;
// faster steps, whose output cannot carry the input's top, have their pass and stop bands moved
// down with the output's Nyquist frequency. A kernel is built the first time a step needs it
// (on the thread that sets the step, never the audio thread) and kept for the life of the
// program, so that the audio thread may use it without any hand-over.
class SincResampler {
  public:
    static constexpr int kMaxTaps = 256;

    static SincResampler& Instance();

    // The kernel for `step` input frames per output frame.
    const SincKernel* KernelFor(double step);

  private:
    SincResampler() = default;

    std::mutex mutex_;
    std::map<int, std::unique_ptr<SincKernel>> kernels_;
};

}  // namespace tev
