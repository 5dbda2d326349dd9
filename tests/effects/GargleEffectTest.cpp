#include "platform/effects/GargleEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "effects/EffectSignals.h"
#include "support/ToneLevel.h"

using namespace tev;
using namespace tev::test;

namespace {

struct Modulation {
    const char* name;
    bool set;  // false: the effect as built
    GargleParameters settings;
    double hz;  // the rate heard
    GargleWave wave;
};

class GargleModulation : public ::testing::TestWithParam<Modulation> {};

}  // namespace

// A steady 5.5 kHz tone comes out as the tone times the wave, between silence and full level:
// the tone at half level with sidebands at the rate and its odd multiples around it. The first
// sidebands against the tone, and the third against the first, tell the wave's shape (4/pi^2
// and 1/9 for the triangle, 2/pi and 1/3 for the square); a sideband one hertz off the rate is
// empty. Two seconds of sound: spectral lines half a hertz apart.
TEST_P(GargleModulation, ATonesEnvelopeFollowsTheWaveAtTheRate) {
    const Modulation& c = GetParam();
    constexpr double kTone = 5500.0;
    GargleEffect gargle(kRate);
    if (c.set) {
        gargle.SetAllParameters(c.settings);
    }
    std::vector<float> out = Tone(2.0, kTone, 0.5);
    Play(gargle, out);
    const auto level = [&](double hz) { return AmplitudeAt(out, 2, 1, hz, out.size() / 2); };
    const bool square = c.wave == GargleWave::kSquare;
    EXPECT_NEAR(level(kTone), 0.25, 0.005);
    for (const double side : {-1.0, 1.0}) {
        const double first = level(kTone + side * c.hz);
        EXPECT_NEAR(first / level(kTone), square ? 2 / M_PI : 4 / (M_PI * M_PI), 0.02);
        EXPECT_NEAR(level(kTone + side * 3 * c.hz) / first, square ? 1.0 / 3 : 1.0 / 9, 0.02);
        EXPECT_LT(level(kTone + side * (c.hz + 1)), 0.01 * first);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, GargleModulation,
    ::testing::Values(
        Modulation{"Defaults", false, {}, 20, GargleWave::kTriangle},
        Modulation{"Triangle21", true, {21, GargleWave::kTriangle}, 21, GargleWave::kTriangle},
        Modulation{"Square21", true, {21, GargleWave::kSquare}, 21, GargleWave::kSquare},
        Modulation{
            "BelowTheRangeIsOneHertz", true, {0, GargleWave::kSquare}, 1, GargleWave::kSquare},
        Modulation{"AboveTheRangeIs1000Hertz",
                   true,
                   {5000, GargleWave::kTriangle},
                   1000,
                   GargleWave::kTriangle}),
    [](const auto& info) { return info.param.name; });

// A steady level through the square wave, then the triangle, then the square at another rate,
// each change in mid-period, where the two shapes differ: the square's edges, and the changes of
// shape, are ramps of many frames, never a step.
TEST(Gargle, SquareEdgesAndChangesOfShapeDoNotClick) {
    constexpr float kLevel = 0.5F;
    struct Part {
        GargleParameters settings;
        double seconds;
    };
    const Part parts[] = {{{20, GargleWave::kSquare}, 0.32},  // ends 0.4 into a period
                          {{20, GargleWave::kTriangle}, 0.32},
                          {{37, GargleWave::kSquare}, 0.3}};
    std::vector<float> out(2 * Frames(0.94), kLevel);
    GargleEffect gargle(kRate);
    size_t done = 0;
    for (const Part& part : parts) {
        gargle.SetAllParameters(part.settings);
        Play(gargle, std::span(out).subspan(2 * done, 2 * Frames(part.seconds)));
        done += Frames(part.seconds);
    }
    const auto [low, high] = std::minmax_element(out.begin(), out.begin() + 2 * Frames(0.3));
    EXPECT_EQ(*low, 0.0F) << "the square reaches silence";
    EXPECT_EQ(*high, kLevel) << "and full level";
    EXPECT_LT(MaxStep(out, 0), kLevel / 16);
    EXPECT_LT(MaxStep(out, 1), kLevel / 16);
}
