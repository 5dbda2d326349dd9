#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "platform/SoundEffect.h"
#include "support/AllocationCounter.h"

namespace tev::test {

constexpr double kRate = 44100.0;

inline size_t Frames(double seconds) {
    return static_cast<size_t>(std::lround(seconds * kRate));
}

// Interleaved stereo through `effect` in blocks of `block` frames, as a sound card asks for it.
inline void RunInBlocks(SoundEffect& effect, std::vector<float>& samples, int block = 512) {
    const auto frames = static_cast<int>(samples.size() / 2);
    for (int done = 0; done < frames; done += block) {
        effect.Process(samples.data() + 2 * done, std::min(block, frames - done));
    }
}

// `frames` frames of a tone on both channels.
inline std::vector<float> Tone(double hz, double amplitude, size_t frames) {
    std::vector<float> s(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<float>(amplitude * std::sin(2 * M_PI * hz * i / kRate));
        s[2 * i] = v;
        s[2 * i + 1] = v;
    }
    return s;
}

// Independent noise on the two channels, uniform in [-amplitude, amplitude].
inline std::vector<float> Noise(double amplitude, size_t frames, unsigned seed = 1) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(static_cast<float>(-amplitude),
                                                  static_cast<float>(amplitude));
    std::vector<float> s(2 * frames);
    for (float& v : s) {
        v = uniform(generator);
    }
    return s;
}

// The largest change between neighbouring frames of either channel in [first, last).
inline double LargestStep(const std::vector<float>& s, size_t first, size_t last) {
    double largest = 0.0;
    for (size_t i = std::max<size_t>(first, 1); i < last; ++i) {
        for (size_t c = 0; c < 2; ++c) {
            largest = std::max(largest, std::fabs(double{s[2 * i + c]} - s[2 * i + c - 2]));
        }
    }
    return largest;
}

// The largest frame-to-frame steps of a tone through `effect`, steady at the settings `from`
// (over the last quarter second of a second), just after a jump to `to` (over a tenth of a
// second) and steady again (the last quarter of the second after).
struct Steps {
    double before = 0.0;
    double jump = 0.0;
    double after = 0.0;
};

template <class Effect, class Parameters>
Steps StepsAcrossAJump(Effect& effect, const Parameters& from, const Parameters& to, double hz) {
    effect.SetAllParameters(from);
    std::vector<float> first = Tone(hz, 0.5, Frames(1.0));
    RunInBlocks(effect, first);
    effect.SetAllParameters(to);
    std::vector<float> second = Tone(hz, 0.5, Frames(2.0));
    second.erase(second.begin(), second.begin() + static_cast<ptrdiff_t>(first.size()));
    RunInBlocks(effect, second);
    // The first frame of the second half follows on from the last of the first.
    std::vector<float> joined(first.end() - 2, first.end());
    joined.insert(joined.end(), second.begin(), second.end());
    return {LargestStep(first, Frames(0.75), Frames(1.0)), LargestStep(joined, 1, Frames(0.1)),
            LargestStep(second, Frames(0.75), Frames(1.0))};
}

}  // namespace tev::test
