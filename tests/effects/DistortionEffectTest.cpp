#include "platform/effects/DistortionEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/EffectSignals.h"
#include "support/ToneLevel.h"

using namespace tev;
using namespace tev::test;

namespace {

// A tone at the post-EQ's default centre, where the band passes it whole. 0.4 s hold a whole
// number of its periods.
constexpr double kTone = 2400.0;

// The tone's level and its total harmonic distortion (up to Nyquist), after the distortion.
struct Heard {
    double level;
    double thd;
};

Heard Distort(const DistortionParameters& settings, double amplitude, double hz = kTone) {
    DistortionEffect distortion(kRate);
    distortion.SetAllParameters(settings);
    std::vector<float> out = Tone(0.5, hz, amplitude);
    Play(distortion, out);
    const size_t window = Frames(0.4);
    const double level = AmplitudeAt(out, 2, 0, hz, window);
    double harmonics = 0.0;
    for (double h = 2 * hz; h < kRate / 2; h += hz) {
        harmonics += std::pow(AmplitudeAt(out, 2, 0, h, window), 2);
    }
    return {level, std::sqrt(harmonics) / level};
}

struct Band {
    const char* name;
    DistortionParameters settings;  // no edge and no gain: at a low level, a linear filter
    double hz;
    double db;
};

class DistortionFilters : public ::testing::TestWithParam<Band> {};

}  // namespace

// A tone at -12 dBFS through a wide post band: the harmonics grow with the edge, from a trace
// that is already heard to most of a square wave's.
TEST(Distortion, HarmonicsGrowWithTheEdge) {
    const double thd10 = Distort({-18, 10, 2400, 8000, 8000}, 0.25, 800).thd;
    const double thd50 = Distort({-18, 50, 2400, 8000, 8000}, 0.25, 800).thd;
    const double thd90 = Distort({-18, 90, 2400, 8000, 8000}, 0.25, 800).thd;
    EXPECT_GT(thd10, 0.01);
    EXPECT_GT(thd50, 2 * thd10);
    EXPECT_GT(thd90, thd50);
    EXPECT_GT(thd90, 0.3);
}

// The gain sets the output level, decibel for decibel, whatever the edge does before it.
TEST(Distortion, OutputLevelFollowsTheGain) {
    const double reference = Distort({-18, 15, 2400, 2400, 8000}, 0.25).level;
    for (const float gain : {-60.0F, -6.0F, 0.0F}) {
        const double level = Distort({gain, 15, 2400, 2400, 8000}, 0.25).level;
        EXPECT_NEAR(20 * std::log10(level / reference), gain + 18.0F, 0.01) << gain << " dB";
    }
}

// A quiet tone, barely shaped, through the pre-low-pass and the post band where they are set.
TEST_P(DistortionFilters, ToneIsFilteredWhereTheFiltersAreSet) {
    const Band& c = GetParam();
    EXPECT_NEAR(20 * std::log10(Distort(c.settings, 0.01, c.hz).level / 0.01), c.db, 0.3);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, DistortionFilters,
    ::testing::Values(Band{"AtTheLowPassCutoffMinus3dB", {0, 0, 1000, 500, 1000}, 1000, -3.0},
                      Band{"AtTheBandCentreWhole", {0, 0, 500, 100, 8000}, 500, 0.0},
                      // Q = 2 an octave above the centre: 1 / sqrt(1 + 2^2 * (2 - 1/2)^2)
                      Band{"AnOctaveAboveANarrowBand", {0, 0, 1000, 500, 8000}, 2000, -10.0}),
    [](const auto& info) { return info.param.name; });
