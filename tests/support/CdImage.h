#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace tev::test {

// Frames (16-bit stereo) of a CD block.
inline constexpr int kFramesPerBlock = 588;

// A tone of `blocks` CD blocks at `hertz`, the same on both channels but the right one inverted,
// so that a swapped pair shows.
inline std::vector<int16_t> CdTone(int blocks, double hertz) {
    std::vector<int16_t> samples;
    const int frames = blocks * kFramesPerBlock;
    for (int f = 0; f < frames; ++f) {
        const auto v =
            static_cast<int16_t>(std::lround(8000.0 * std::sin(2 * M_PI * hertz * f / 44100)));
        samples.push_back(v);
        samples.push_back(static_cast<int16_t>(-v));
    }
    return samples;
}

// Writes `name`.bin with the tracks one after the other and `name`.cue listing them; the cue's
// path. `titles` are CD-TEXT titles, the disc's first and then each track's; an empty one is left
// out.
inline std::string WriteCdImage(const std::string& dir, const std::string& name,
                                const std::vector<std::vector<int16_t>>& tracks,
                                const std::vector<std::string>& titles = {}) {
    std::ofstream bin(dir + "/" + name + ".bin", std::ios::binary);
    std::ofstream cue(dir + "/" + name + ".cue");
    auto title = [&](size_t i, const char* indent) {
        if (i < titles.size() && !titles[i].empty()) {
            cue << indent << "TITLE \"" << titles[i] << "\"\n";
        }
    };
    title(0, "");
    cue << "FILE \"" << name << ".bin\" BINARY\n";
    long block = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        char line[128];
        std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n    INDEX 01 %02ld:%02ld:%02ld\n",
                      t + 1, block / (75 * 60), (block / 75) % 60, block % 75);
        cue << line;
        title(t + 1, "    ");
        bin.write(reinterpret_cast<const char*>(tracks[t].data()),
                  static_cast<std::streamsize>(tracks[t].size() * 2));
        block += static_cast<long>(tracks[t].size() / 2 / kFramesPerBlock);
    }
    return dir + "/" + name + ".cue";
}

}  // namespace tev::test
