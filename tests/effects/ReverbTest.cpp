#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/EffectProbe.h"
#include "platform/effects/ReverbEffect.h"

using namespace tev;
using namespace tev::test;

namespace {

// A reverb with the settings `p`, past its glide from the defaults.
void Settle(ReverbEffect& reverb, const ReverbParameters& p) {
    reverb.SetAllParameters(p);
    std::vector<float> silence(2 * Frames(0.1));
    Play(reverb, silence);
}

// The seconds from the start of one channel of `s` until its energy decay curve (what energy
// is left, integrated backwards from the end) is 60 dB below the whole.
double SecondsToMinus60(const std::vector<float>& s, size_t channel) {
    std::vector<double> left(s.size() / 2 + 1, 0.0);
    for (size_t i = s.size() / 2; i-- > 0;) {
        left[i] = left[i + 1] + double{s[2 * i + channel]} * s[2 * i + channel];
    }
    size_t i = 0;
    while (left[i] > 1e-6 * left[0]) {
        ++i;
    }
    return static_cast<double>(i) / kRate;
}

class ReverbTime : public ::testing::TestWithParam<double> {};

}  // namespace

// An impulse into the room: the energy of its tail falls by 60 dB in the reverb time, on both
// sides, and the two sides are different rooms' worth of echoes, not one sound twice.
TEST_P(ReverbTime, TheTailFallsSixtyDecibelsInTheReverbTime) {
    const double seconds = GetParam();
    ReverbEffect reverb(kRate);
    Settle(reverb, {0, 0, static_cast<float>(seconds * 1000), 0.999F});
    std::vector<float> s(2 * Frames(2 * seconds + 0.3));
    s[0] = s[1] = 1.0F;
    Play(reverb, s);
    s[0] -= 1.0F;  // the dry impulse; the wet sound starts at the first line's delay
    s[1] -= 1.0F;
    double product = 0.0;
    double energy[2] = {0.0, 0.0};
    for (size_t i = 0; i < s.size() / 2; ++i) {
        product += double{s[2 * i]} * s[2 * i + 1];
        energy[0] += double{s[2 * i]} * s[2 * i];
        energy[1] += double{s[2 * i + 1]} * s[2 * i + 1];
    }
    for (size_t channel = 0; channel < 2; ++channel) {
        EXPECT_NEAR(SecondsToMinus60(s, channel), seconds, 0.2 * seconds) << "channel " << channel;
    }
    EXPECT_LT(std::fabs(product / std::sqrt(energy[0] * energy[1])), 0.2) << "correlation";
}

INSTANTIATE_TEST_SUITE_P(Times, ReverbTime, ::testing::Values(0.5, 1.0, 3.0));

namespace {

// The seconds a band of the tail around `hz` takes to fall by 60 dB: the wet answer to an
// impulse, band-passed (a second-order filter an octave wide), its energy decay curve's fall
// from -5 to -25 dB times three.
double BandDecaySeconds(const std::vector<float>& wet, size_t channel, double hz) {
    const double w0 = 2 * M_PI * hz / kRate;
    const double alpha = std::sin(w0) * std::sinh(std::log(2.0) / 2 * w0 / std::sin(w0));
    const double a0 = 1 + alpha;
    const double b0 = alpha / a0;
    const double a1 = -2 * std::cos(w0) / a0;
    const double a2 = (1 - alpha) / a0;
    std::vector<double> band(wet.size() / 2);
    for (size_t i = 0; i < band.size(); ++i) {
        band[i] = wet[2 * i + channel];
    }
    for (int pass = 0; pass < 4; ++pass) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : band) {
            const double x = v;
            v = b0 * x - b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = v;
        }
    }
    std::vector<double> left(band.size() + 1, 0.0);
    for (size_t i = band.size(); i-- > 0;) {
        left[i] = left[i + 1] + band[i] * band[i];
    }
    const auto reach = [&](double db) {
        size_t i = 0;
        while (left[i] > std::pow(10.0, db / 10) * left[0]) {
            ++i;
        }
        return static_cast<double>(i) / kRate;
    };
    return 3 * (reach(-25) - reach(-5));
}

}  // namespace

// With a ratio of 0.1 the tail's highs die several times sooner than its lows, which keep
// close to the reverb time; and no high dies sooner than the ratio says.
TEST(Reverb, HighsDieFasterByTheRatio) {
    ReverbEffect reverb(kRate);
    Settle(reverb, {0, 0, 1000, 0.1F});
    std::vector<float> s(2 * Frames(2.0));
    s[0] = s[1] = 1.0F;
    Play(reverb, s);
    s[0] -= 1.0F;
    s[1] -= 1.0F;
    for (size_t channel = 0; channel < 2; ++channel) {
        const double low = BandDecaySeconds(s, channel, 500.0);
        const double high = BandDecaySeconds(s, channel, 8000.0);
        EXPECT_NEAR(low, 1.0, 0.1) << "channel " << channel;
        EXPECT_GT(high, 0.1) << "channel " << channel;
        EXPECT_LT(high, 0.3) << "channel " << channel;
    }
}

namespace {

struct Level {
    const char* name;
    float inGain;
    float reverbMix;
    double db;  // the reverberation's level against both at 0 dB
};

class ReverbLevel : public ::testing::TestWithParam<Level> {};

}  // namespace

// The input gain and the mix each scale the reverberation by their decibels, sample for
// sample; the dry sound passes at unity whatever they are.
TEST_P(ReverbLevel, InputGainAndMixScaleOnlyTheReverberation) {
    const Level& c = GetParam();
    const std::vector<float> in = Noise(0.5, Frames(1.0));
    const auto wet = [&](float inGain, float mix) {
        ReverbEffect reverb(kRate);
        Settle(reverb, {inGain, mix, 1000, 0.5F});
        std::vector<float> out = in;
        Play(reverb, out);
        for (size_t i = 0; i < out.size(); ++i) {
            out[i] -= in[i];
        }
        return out;
    };
    const std::vector<float> reference = wet(0, 0);
    const std::vector<float> scaled = wet(c.inGain, c.reverbMix);
    const double k = std::pow(10.0, c.db / 20);
    double peak = 0.0;
    for (const float v : reference) {
        peak = std::max(peak, double{std::fabs(v)});
    }
    ASSERT_GT(peak, 0.1);
    for (size_t i = 0; i < in.size(); ++i) {
        ASSERT_NEAR(scaled[i], k * reference[i], 1e-3 * k * peak + 1e-7) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Decibels, ReverbLevel,
                         ::testing::Values(Level{"InputGain", -12, 0, -12},
                                           Level{"Mix", 0, -12, -12}, Level{"Both", -6, -6, -12},
                                           Level{"LeastInputGain", -96, 0, -96},
                                           Level{"LeastMix", 0, -96, -96},
                                           Level{"LeastOfBoth", -96, -96, -192}),
                         [](const auto& info) { return std::string(info.param.name); });
