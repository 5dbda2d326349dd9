#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace tev::test {

// Amplitude of the component at `hz` in one channel of the last `frames` frames of interleaved
// samples at `rate` (Hann-windowed, so that a tone between bins leaks little).
inline double AmplitudeAt(const std::vector<float>& s, int channels, int channel, double hz,
                          size_t frames, double rate = 44100.0) {
    const size_t total = s.size() / static_cast<size_t>(channels);
    const size_t first = total > frames ? total - frames : 0;
    double re = 0;
    double im = 0;
    for (size_t i = first; i < total; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i - first) /
                                              static_cast<double>(total - first));
        const double x = s[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)] * w;
        re += x * std::cos(2 * M_PI * hz * static_cast<double>(i) / rate);
        im -= x * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate);
    }
    return 4.0 * std::hypot(re, im) / static_cast<double>(total - first);  // the window's gain: 1/2
}

}  // namespace tev::test
