#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "platform/SoundEffect.h"

namespace tev::test {

constexpr double kRate = 44100.0;

inline size_t Frames(double seconds) {
    return static_cast<size_t>(std::lround(seconds * kRate));
}

// The same tone on both channels, interleaved.
inline std::vector<float> Tone(double seconds, double hz, double amplitude) {
    std::vector<float> s(2 * Frames(seconds));
    for (size_t i = 0; i < s.size() / 2; ++i) {
        s[2 * i] = s[2 * i + 1] = static_cast<float>(
            amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / kRate));
    }
    return s;
}

// Runs interleaved stereo through the effect in place, in device-sized blocks.
inline void Play(SoundEffect& effect, std::span<float> s, int block = 512) {
    const int frames = static_cast<int>(s.size() / 2);
    for (int done = 0; done < frames; done += block) {
        effect.Process(s.data() + 2 * static_cast<ptrdiff_t>(done), std::min(block, frames - done));
    }
}

// The peak of a channel over [first, first + frames), in dB against full scale.
inline double PeakDb(const std::vector<float>& s, int channel, size_t first, size_t frames) {
    float peak = 0.0F;
    for (size_t i = first; i < first + frames; ++i) {
        peak = std::max(peak, std::fabs(s[2 * i + static_cast<size_t>(channel)]));
    }
    return 20.0 * std::log10(peak);
}

// The biggest difference between neighbouring frames of a channel from `first` on.
inline float MaxStep(const std::vector<float>& s, int channel, size_t first = 1) {
    float step = 0.0F;
    for (size_t i = std::max<size_t>(first, 1); i < s.size() / 2; ++i) {
        const size_t at = 2 * i + static_cast<size_t>(channel);
        step = std::max(step, std::fabs(s[at] - s[at - 2]));
    }
    return step;
}

}  // namespace tev::test
