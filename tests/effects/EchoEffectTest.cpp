#include "platform/effects/EchoEffect.h"

#include <gtest/gtest.h>

#include <limits>
#include <span>
#include <vector>

#include "effects/EffectSignals.h"

using namespace tev;
using namespace tev::test;

namespace {

struct Repeat {
    int channel;
    size_t frame;  // after the impulse
    float level;
};

struct Impulse {
    const char* name;
    EchoParameters settings;
    size_t frames;  // heard after the impulse; every sound in them is listed
    std::vector<Repeat> heard;
};

class EchoImpulse : public ::testing::TestWithParam<Impulse> {};

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

// An impulse of 1 on the left and 0.5 on the right comes back after each channel's delay (at
// 44.1 kHz: 1 ms is 44 frames, 200 ms 8,820), each repeat lower by the feedback; with pan delay
// each repeat changes sides. Between the repeats there is silence.
TEST_P(EchoImpulse, RepeatsAfterTheDelaysLowerByTheFeedback) {
    const Impulse& c = GetParam();
    EchoEffect echo(kRate);
    echo.SetAllParameters(c.settings);
    std::vector<float> lead(2 * Frames(0.1));  // silence while a new delay cross-fades in
    Play(echo, lead);
    std::vector<float> out(2 * c.frames);
    out[0] = 1.0F;
    out[1] = 0.5F;
    Play(echo, out);
    std::vector<float> expected(out.size());
    for (const Repeat& r : c.heard) {
        expected[2 * r.frame + static_cast<size_t>(r.channel)] = r.level;
    }
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_NEAR(out[i], expected[i], 1e-6) << "channel " << i % 2 << ", frame " << i / 2;
    }
    for (const float s : lead) {
        ASSERT_EQ(s, 0.0F);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, EchoImpulse,
                         ::testing::Values(Impulse{"PanDelaySwapsEachRepeat",
                                                   {50, 80, 200, 700, true},
                                                   79000,
                                                   {{0, 0, 0.5F},
                                                    {1, 0, 0.25F},
                                                    {1, 30870, 0.5F},
                                                    {0, 39690, 0.4F},
                                                    {1, 70560, 0.32F},  // the left's
                                                    {0, 8820, 0.25F},
                                                    {1, 39690, 0.2F},
                                                    {0, 48510, 0.16F}}},  // the right's
                                           Impulse{"AllWetFullFeedbackLongestDelayPastTheRange",
                                                   {1e30F, 100, 1e30F, 2000, false},
                                                   180000,
                                                   {{0, 88200, 1.0F},
                                                    {0, 176400, 1.0F},
                                                    {1, 88200, 0.5F},
                                                    {1, 176400, 0.5F}}},
                                           Impulse{"ShortestDelayNotNumbersTakeDefaults",
                                                   {kNaN, kNaN, -1e30F, 1, false},
                                                   120,
                                                   {{0, 0, 0.5F},
                                                    {0, 44, 0.5F},
                                                    {0, 88, 0.25F},
                                                    {1, 0, 0.25F},
                                                    {1, 44, 0.25F},
                                                    {1, 88, 0.125F}}}),
                         [](const auto& info) { return info.param.name; });

// A tone plays on while the delays change, to the ends of their range and across them: no
// frame steps further than the tone's own steps allow, whatever the delays were. Without a
// cross-fade the repeats would jump in phase, a step ten times that.
TEST(Echo, ChangingTheDelaysWhileATonePlaysDoesNotClick) {
    // 442.5 Hz: 200 ms hold 88.5 periods, so the taps of 500 and 300 ms are in opposite phase.
    constexpr double kHz = 442.5;
    constexpr double kAmplitude = 0.5;
    std::vector<float> out = Tone(3.0, kHz, kAmplitude);
    const float toneStep = MaxStep(out, 0);
    EchoEffect echo(kRate);
    const float delays[][2] = {{500, 500}, {300, 300}, {1999, 1}, {1, 2000}, {750, 420}};
    const size_t segment = out.size() / std::size(delays);
    for (size_t k = 0; k < std::size(delays); ++k) {
        echo.SetAllParameters({50, 50, delays[k][0], delays[k][1], false});
        Play(echo, std::span(out).subspan(k * segment, segment));
    }
    // Half the dry tone plus half the repeats, which at 50% feedback pile up to twice the
    // tone at most; a little more for the cross-fade's own slope.
    const float allowed = 1.05F * (0.5F + 0.5F * 2.0F) * toneStep;
    EXPECT_LT(MaxStep(out, 0), allowed);
    EXPECT_LT(MaxStep(out, 1), allowed);
}
