#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "output/SoundOutput.h"

namespace tev::test {

// Frames a deck's start takes to rise from silence at 44.1 kHz: a 50 ms fade, then the last of
// it along the gain ramp.
inline constexpr size_t kFadeInFrames = 2400;

// The linear gain a deck gets on an output for a level and a cross-fader gain, by the volume rule.
inline double Gain(double level, double curveGain) {
    const int32_t volume = SoundOutput::VolumeFromGain(level * curveGain);
    return volume <= -10000 ? 0.0 : std::pow(10.0, volume / 2000.0);
}

// Channel `channel` (0-3) of frame `frame` of a four-channel render, in 16-bit units.
inline double Sample(const std::vector<float>& out, size_t frame, int channel) {
    return static_cast<double>(out[frame * 4 + static_cast<size_t>(channel)]) * 32768.0;
}

// The largest change between neighbouring frames of a channel of a render, in 16-bit units.
inline double LargestStep(const std::vector<float>& out, int channel) {
    double largest = 0.0;
    for (size_t f = 1; f < out.size() / 4; ++f) {
        largest =
            std::max(largest, std::abs(Sample(out, f, channel) - Sample(out, f - 1, channel)));
    }
    return largest;
}

// The lowest of a channel's peaks over each whole span of `frames` frames of a render: above zero
// when no span is silent.
inline double QuietestSpan(const std::vector<float>& out, int channel, size_t frames) {
    double quietest = 1e9;
    for (size_t start = 0; start + frames <= out.size() / 4; start += frames) {
        double peak = 0.0;
        for (size_t f = start; f < start + frames; ++f) {
            peak = std::max(peak, std::abs(Sample(out, f, channel)));
        }
        quietest = std::min(quietest, peak);
    }
    return quietest;
}

// Frames [from, to) of the outputs `pairs` of a render (0: main, channels 0 and 1; 1: monitor,
// channels 2 and 3) play the stereo `file` at `gain` from its frame `at` on, forward (step 1) or
// backward (step -1), and silence outside it.
inline void ExpectFrames(const std::vector<float>& out, std::initializer_list<int> pairs,
                         size_t from, size_t to, const std::vector<int16_t>& file, size_t at,
                         double gain, int step = 1) {
    for (size_t f = from; f < to; ++f) {
        const long i = static_cast<long>(at) + step * static_cast<long>(f - from);
        const bool inside = i >= 0 && static_cast<size_t>(i) < file.size() / 2;
        for (const int pair : pairs) {
            for (int c = 0; c < 2; ++c) {
                const double expected = inside ? file[2 * static_cast<size_t>(i) + c] * gain : 0.0;
                ASSERT_NEAR(Sample(out, f, 2 * pair + c), expected, 0.6)
                    << "frame " << f << ", channel " << 2 * pair + c;
            }
        }
    }
}

}  // namespace tev::test
