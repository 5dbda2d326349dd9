#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "effects/EffectProbe.h"
#include "platform/effects/ChorusEffect.h"
#include "support/ToneLevel.h"

using namespace tev;
using namespace tev::test;

namespace {

enum class Kind { kChorus, kFlanger };

FlangerParameters AsFlanger(const ChorusParameters& p) {
    return {p.wetDryMix, p.depth, p.feedback, p.frequency, p.waveform, p.delay, p.phase};
}

// A chorus or a flanger with the settings `p` (the two take the same fields), past its glide
// from the defaults.
std::unique_ptr<SoundEffect> Make(Kind kind, const ChorusParameters& p) {
    std::unique_ptr<SoundEffect> effect;
    if (kind == Kind::kChorus) {
        auto chorus = std::make_unique<ChorusEffect>(kRate);
        chorus->SetAllParameters(p);
        effect = std::move(chorus);
    } else {
        auto flanger = std::make_unique<FlangerEffect>(kRate);
        flanger->SetAllParameters(AsFlanger(p));
        effect = std::move(flanger);
    }
    std::vector<float> silence(2 * Frames(0.2));
    Play(*effect, silence);
    return effect;
}

// The sweep in step with a sine: 0 rising at phase 0, 1 at a quarter of a turn.
double Oscillator(Waveform waveform, double turns) {
    const double phase = turns - std::floor(turns);
    if (waveform == Waveform::kSine) {
        return std::sin(2 * M_PI * phase);
    }
    return phase < 0.25 ? 4 * phase : phase < 0.75 ? 2 - 4 * phase : 4 * phase - 4;
}

struct Sweep {
    const char* name;
    Kind kind;
    ChorusParameters p;  // all wet, no feedback
};

class WetDelay : public ::testing::TestWithParam<Sweep> {};

}  // namespace

// Impulses far enough apart that each comes out alone, once per channel: where each lands
// gives the wet delay at that moment. It must follow the oscillator: around the base delay by
// the depth, at the frequency, in the waveform's shape, the right channel the phase ahead.
TEST_P(WetDelay, FollowsTheOscillator) {
    const Sweep& c = GetParam();
    const auto effect = Make(c.kind, c.p);
    const size_t spacing = c.kind == Kind::kChorus ? 2048 : 512;
    std::vector<float> s(2 * Frames(std::max(2.0, 2.5 / c.p.frequency)));
    for (size_t i = 0; i < s.size() / 2; i += spacing) {
        s[2 * i] = s[2 * i + 1] = 1.0F;
    }
    Play(*effect, s);

    struct Point {
        double time;  // frames
        double delay;
    };
    std::vector<Point> measured[2];
    for (size_t channel = 0; channel < 2; ++channel) {
        for (size_t start = 0; start + spacing <= s.size() / 2; start += spacing) {
            double sum = 0.0;
            double moment = 0.0;
            for (size_t i = start; i < start + spacing; ++i) {
                sum += s[2 * i + channel];
                moment += static_cast<double>(i) * s[2 * i + channel];
            }
            ASSERT_NEAR(sum, 1.0, 0.1) << "each impulse comes out once, whole, at " << start;
            measured[channel].push_back({moment / sum, moment / sum - static_cast<double>(start)});
        }
    }
    const double base = c.p.delay * kRate / 1000.0;
    // Never below two frames: a deep sweep is cut off there.
    const auto model = [&](double time, double turns) {
        const double turn = c.p.frequency * time / kRate + turns;
        return std::max(2.0, base * (1 + c.p.depth / 100 * Oscillator(c.p.waveform, turn)));
    };
    const auto worst = [&](const std::vector<Point>& points, double turns) {
        double error = 0.0;
        for (const Point& point : points) {
            error = std::max(error, std::fabs(point.delay - model(point.time, turns)));
        }
        return error;
    };
    // Where the left oscillator started is the sweep's own business.
    double start = 0.0;
    double left = worst(measured[0], start);
    for (double turns = 1e-4; turns < 1.0; turns += 1e-4) {
        if (const double error = worst(measured[0], turns); error < left) {
            start = turns;
            left = error;
        }
    }
    EXPECT_LT(left, 0.5) << "frames, left";
    EXPECT_LT(worst(measured[1], start + c.p.phase / 360.0), 0.5) << "frames, right";
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, WetDelay,
    ::testing::Values(
        Sweep{"ChorusDefault", Kind::kChorus, {100, 10, 0, 1.1F, Waveform::kSine, 16, 90}},
        Sweep{"ChorusTriangle", Kind::kChorus, {100, 50, 0, 3, Waveform::kTriangle, 10, -180}},
        Sweep{"FlangerDefault", Kind::kFlanger, {100, 100, 0, 0.25F, Waveform::kSine, 2, 0}},
        Sweep{"FlangerTriangle", Kind::kFlanger, {100, 60, 0, 5, Waveform::kTriangle, 4, -90}}),
    [](const auto& info) { return std::string(info.param.name); });

namespace {

struct Comb {
    const char* name;
    Kind kind;
    float feedback;
};

class FeedbackComb : public ::testing::TestWithParam<Comb> {};

}  // namespace

// With the sweep stopped, all wet: feedback makes a comb whose teeth sit at multiples of the
// inverse delay when it is positive and halfway between them when it is negative.
TEST_P(FeedbackComb, PeaksWhereTheSignSays) {
    const Comb& c = GetParam();
    const double delayFrames = c.kind == Kind::kChorus ? 441.0 : 100.0;
    const auto ms = static_cast<float>(delayFrames * 1000.0 / kRate);
    const double teeth = kRate / delayFrames;
    const double g = c.feedback / 100.0;
    for (int k = 1; k <= 3; ++k) {
        for (const double at : {0.0, 0.5}) {
            const double hz = (k + at) * teeth;
            const auto effect = Make(c.kind, {100, 0, c.feedback, 1, Waveform::kSine, ms, 90});
            std::vector<float> s = Tone(1.5, hz, 0.05);
            Play(*effect, s);
            const double gain = AmplitudeAt(s, 2, 0, hz, Frames(0.5)) / 0.05;
            const double expected = at == 0.0 ? 1 / (1 - g) : 1 / (1 + g);
            EXPECT_NEAR(gain, expected, 0.03 * expected) << hz << " Hz";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Signs, FeedbackComb,
                         ::testing::Values(Comb{"ChorusPositive", Kind::kChorus, 90},
                                           Comb{"ChorusNegative", Kind::kChorus, -90},
                                           Comb{"FlangerPositive", Kind::kFlanger, 90},
                                           Comb{"FlangerNegative", Kind::kFlanger, -90}),
                         [](const auto& info) { return std::string(info.param.name); });

// At zero depth the oscillator, however fast, moves nothing: half the input and half of it
// delayed, frame for frame.
TEST(ChorusFlanger, ZeroDepthIsAFixedDelayMix) {
    for (const auto& [kind, frames] :
         {std::pair{Kind::kChorus, size_t{441}}, std::pair{Kind::kFlanger, size_t{100}}}) {
        const auto ms = static_cast<float>(frames * 1000.0 / kRate);
        const auto effect = Make(kind, {50, 0, 0, 10, Waveform::kSine, ms, 180});
        const std::vector<float> in = Noise(0.5, Frames(1.0));
        std::vector<float> out = in;
        Play(*effect, out);
        for (size_t i = 2 * frames; i < out.size(); ++i) {
            ASSERT_NEAR(out[i], 0.5F * in[i] + 0.5F * in[i - 2 * frames], 1e-4)
                << "frame " << i / 2 << " of " << (kind == Kind::kChorus ? "chorus" : "flanger");
        }
    }
}
