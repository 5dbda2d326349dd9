#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "effects/EffectSignals.h"
#include "platform/SoundEffect.h"
#include "support/AllocationCounter.h"

namespace tev::test {

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
    std::vector<float> first = Tone(1.0, hz, 0.5);
    Play(effect, first);
    effect.SetAllParameters(to);
    std::vector<float> second = Tone(2.0, hz, 0.5);
    second.erase(second.begin(), second.begin() + static_cast<ptrdiff_t>(first.size()));
    Play(effect, second);
    // The first frame of the second half follows on from the last of the first.
    std::vector<float> joined(first.end() - 2, first.end());
    joined.insert(joined.end(), second.begin(), second.end());
    return {LargestStep(first, Frames(0.75), Frames(1.0)), LargestStep(joined, 1, Frames(0.1)),
            LargestStep(second, Frames(0.75), Frames(1.0))};
}

}  // namespace tev::test
