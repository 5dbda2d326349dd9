#include "platform/effects/CompressorEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/EffectSignals.h"

using namespace tev;
using namespace tev::test;

namespace {

class CompressorStep : public ::testing::TestWithParam<CompressorParameters> {};

}  // namespace

// A 1 kHz tone steps from -40 dBFS up to -6 dBFS for a second and back down. Below the
// threshold only the gain is added; above it the level over the threshold is divided by the
// ratio. The turn-down takes a few attack times and the recovery a few release times, and the
// sound comes out the predelay late: with the look-ahead the gain is down before the step is
// heard, however fast the attack.
TEST_P(CompressorStep, ReducesTheLevelAboveTheThresholdByTheRatio) {
    const CompressorParameters& c = GetParam();
    CompressorEffect compressor(kRate);
    compressor.SetAllParameters(c);
    std::vector<float> out = Tone(3.5, 1000.0, 0.01);
    const size_t up = Frames(0.5);
    const size_t down = Frames(1.5);
    for (size_t i = 2 * up; i < 2 * down; ++i) {
        out[i] *= static_cast<float>(std::pow(10.0, 34.0 / 20.0));
    }
    Play(compressor, out);
    const size_t late = Frames(c.predelay / 1000.0);
    // The peak over one period of the tone, `seconds` after the sound from `at` comes out.
    const auto level = [&](size_t at, double seconds) {
        return PeakDb(out, 0, at + late + Frames(seconds), Frames(0.001));
    };
    const double quiet = -40.0 + c.gain;
    const double loud = c.threshold + (-6.0 - c.threshold) / c.ratio + c.gain;
    const double attack = c.attack / 1000.0;
    const double release = c.release / 1000.0;
    EXPECT_NEAR(level(up, -0.1), quiet, 0.1);
    EXPECT_NEAR(level(up, 0.9), loud, 0.3);
    EXPECT_NEAR(level(down, 4 * release), quiet, 0.3);
    EXPECT_LT(level(down, 0.25 * release), quiet - 3) << "the gain comes back gradually";
    if (late == 0) {
        EXPECT_GT(level(up, 0.25 * attack), loud + 3) << "the gain goes down gradually";
        EXPECT_NEAR(level(up, 4 * attack), loud, 0.5);
    } else {
        EXPECT_LT(PeakDb(out, 0, up, late), quiet + 0.1) << "the step is not heard before";
        EXPECT_LT(PeakDb(out, 0, up + late, Frames(0.1)), loud + 0.5) << "nor louder than held";
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, CompressorStep,
                         ::testing::Values(CompressorParameters{0, 10, 200, -20, 3, 0},
                                           CompressorParameters{6, 40, 100, -30, 10, 0},
                                           CompressorParameters{-3, 0.01F, 50, -20, 100, 4}));
