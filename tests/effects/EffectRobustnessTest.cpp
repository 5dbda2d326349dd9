#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "effects/EffectProbe.h"
#include "platform/effects/ChorusEffect.h"
#include "platform/effects/CompressorEffect.h"
#include "platform/effects/DistortionEffect.h"
#include "platform/effects/EchoEffect.h"
#include "platform/effects/GargleEffect.h"
#include "platform/effects/ReverbEffect.h"
#include "support/AllocationCounter.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

using namespace tev;
using namespace tev::test;

namespace {

#if defined(__x86_64__)
// The processor's sticky flags for a denormal operand and an underflowing result: they show a
// denormal anywhere in an effect's arithmetic, memory included, not only in what comes out.
constexpr unsigned kDenormalFlags = 0x02 | 0x10;
void ClearDenormalFlags() {
    _mm_setcsr(_mm_getcsr() & ~kDenormalFlags);
}
bool DenormalSeen() {
    return (_mm_getcsr() & kDenormalFlags) != 0;
}
#else
// Elsewhere only what comes out is checked.
void ClearDenormalFlags() {}
bool DenormalSeen() {
    return false;
}
#endif

struct Built {
    const char* name;
    std::function<std::unique_ptr<SoundEffect>()> make;  // set for the longest tail
};

class EachEffect : public ::testing::TestWithParam<Built> {};

template <class Effect, class Parameters>
Built Make(const char* name, Parameters settings) {
    return {name, [settings] {
                auto effect = std::make_unique<Effect>(kRate);
                effect->SetAllParameters(settings);
                return effect;
            }};
}

// Noise through the effect comes out finite.
void ExpectFinite(SoundEffect& effect) {
    std::vector<float> out = Noise(1.0, Frames(0.2), 7);
    Play(effect, out);
    for (const float s : out) {
        ASSERT_TRUE(std::isfinite(s));
    }
}

// Settings that are not numbers take their defaults, and huge ones the ends of their ranges;
// the effect plays on with each.
template <class Effect, class Parameters>
void ExpectClamped(const Parameters& huge, const Parameters& highest, const Parameters& tiny,
                   const Parameters& lowest, const Parameters& notNumbers) {
    Effect effect(kRate);
    for (const auto& [set, expected] :
         {std::pair{huge, highest}, std::pair{tiny, lowest}, std::pair{notNumbers, Parameters{}}}) {
        effect.SetAllParameters(set);
        EXPECT_EQ(effect.GetAllParameters(), expected);
        ExpectFinite(effect);
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

// A second of full-scale noise with a NaN and an infinity in it, then ten minutes of silence:
// every frame that comes out is zero or a normal number, nothing in the effect's arithmetic meets
// a denormal while its tail dies away (the test does not flush them, as the sound layer does),
// nothing allocates, and silence comes back.
TEST_P(EachEffect, TenMinutesOfSilenceAfterLoudSoundHaveNoDenormal) {
    std::unique_ptr<SoundEffect> effect = GetParam().make();
    std::vector<float> block = Noise(1.0, Frames(1.0), 7);
    block[1000] = std::numeric_limits<float>::quiet_NaN();
    block[5001] = std::numeric_limits<float>::infinity();
    StartCountingAllocations();
    Play(*effect, block);
    block.resize(2 * 512);
    ClearDenormalFlags();
    size_t firstUnclean = SIZE_MAX;
    for (size_t done = 0; done < Frames(600.0) && firstUnclean == SIZE_MAX; done += 512) {
        std::fill(block.begin(), block.end(), 0.0F);
        effect->Process(block.data(), 512);
        for (size_t i = 0; i < block.size(); ++i) {
            const int kind = std::fpclassify(block[i]);
            if (kind != FP_ZERO && kind != FP_NORMAL && firstUnclean == SIZE_MAX) {
                firstUnclean = done + i / 2;
            }
        }
    }
    const bool denormalSeen = DenormalSeen();
    EXPECT_EQ(StopCountingAllocations(), 0);
    EXPECT_EQ(firstUnclean, SIZE_MAX) << "a denormal or worse comes out at frame " << firstUnclean;
    EXPECT_FALSE(denormalSeen);
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](float s) { return s == 0.0F; }));
}

// However the device cuts the stream into blocks, empty ones included, the same sound comes
// out.
TEST_P(EachEffect, BlockSizesDoNotChangeTheSound) {
    const std::vector<float> in = Noise(1.0, Frames(1.0), 7);
    std::vector<float> whole = in;
    GetParam().make()->Process(whole.data(), static_cast<int>(whole.size() / 2));
    std::vector<float> cut = in;
    std::unique_ptr<SoundEffect> effect = GetParam().make();
    const int sizes[] = {0, 1, 7, 64, 513, 1000, 4096};
    for (size_t done = 0, k = 0; done < cut.size() / 2; ++k) {
        const int frames =
            std::min(sizes[k % std::size(sizes)], static_cast<int>(cut.size() / 2 - done));
        effect->Process(cut.data() + 2 * done, frames);
        done += static_cast<size_t>(frames);
    }
    EXPECT_EQ(cut, whole);
}

INSTANTIATE_TEST_SUITE_P(
    Effects, EachEffect,
    ::testing::Values(
        Make<EchoEffect>("Echo", EchoParameters{100, 99, 1, 1, true}),
        Make<GargleEffect>("Gargle", GargleParameters{}),
        Make<DistortionEffect>("Distortion", DistortionParameters{0, 100, 100, 100, 100}),
        Make<CompressorEffect>("Compressor", CompressorParameters{60, 500, 3000, -60, 100, 4}),
        Make<ChorusEffect>("Chorus", ChorusParameters{100, 100, 99, 10, Waveform::kSine, 20, 90}),
        Make<FlangerEffect>("Flanger",
                            FlangerParameters{100, 100, -99, 10, Waveform::kTriangle, 4, 0}),
        Make<ReverbEffect>("Reverb", ReverbParameters{0, 0, 3000, 0.999F})),
    [](const auto& info) { return info.param.name; });

namespace {

struct Change {
    const char* name;
    std::function<std::unique_ptr<SoundEffect>()> make;
    std::function<void(SoundEffect&)> change;  // to settings that make the tone louder
};

class EffectChange : public ::testing::TestWithParam<Change> {};

template <class Effect, class Parameters>
Change Turn(const char* name, Parameters from, Parameters to) {
    return {name, Make<Effect>(name, from).make,
            [to](SoundEffect& effect) { static_cast<Effect&>(effect).SetAllParameters(to); }};
}

}  // namespace

// A tone plays while a setting turns it up: the level ramps, so no frame steps further than
// the louder sound's own steps. The right channel's tone is a quarter period after the left's,
// so that whatever the phase when the change is heard, a jump is a big step on one of them.
TEST_P(EffectChange, TurningUpWhileATonePlaysDoesNotClick) {
    const Change& c = GetParam();
    std::vector<float> tone(2 * Frames(2.0));
    for (size_t i = 0; i < tone.size() / 2; ++i) {
        const double phase = 2 * M_PI * 441.0 * static_cast<double>(i) / kRate;
        tone[2 * i] = static_cast<float>(0.5 * std::sin(phase));
        tone[2 * i + 1] = static_cast<float>(0.5 * std::cos(phase));
    }
    std::vector<float> unchanged = tone;
    Play(*c.make(), unchanged);
    std::vector<float> out = tone;
    std::unique_ptr<SoundEffect> effect = c.make();
    const size_t half = out.size() / 2;
    Play(*effect, std::span(out).first(half));
    c.change(*effect);
    Play(*effect, std::span(out).subspan(half));
    double heard = 0.0;
    for (size_t i = half; i < out.size(); ++i) {
        heard = std::max(heard, std::fabs(static_cast<double>(out[i] - unchanged[i])));
    }
    EXPECT_GT(heard, 0.1) << "the change is heard";
    for (const int channel : {0, 1}) {
        // From half a second in: the right channel's tone starts with a step of its own.
        EXPECT_LT(MaxStep(out, channel, Frames(0.5)), 1.1F * MaxStep(out, channel, Frames(1.5)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Effects, EffectChange,
    ::testing::Values(Turn<EchoEffect>("EchoFromDryToWet", EchoParameters{0, 0, 500, 500, false},
                                       EchoParameters{100, 0, 500, 500, false}),
                      Turn<DistortionEffect>("DistortionGain", DistortionParameters{-60},
                                             DistortionParameters{0}),
                      Turn<CompressorEffect>("CompressorGain",
                                             CompressorParameters{-60, 10, 200, 0, 1, 4},
                                             CompressorParameters{0, 10, 200, 0, 1, 4})),
    [](const auto& info) { return info.param.name; });

namespace {

struct Jump {
    const char* name;
    std::function<Steps()> steps;  // of a low tone across the jump
};

class SettingJump : public ::testing::TestWithParam<Jump> {};

template <class Effect, class Parameters>
Jump Across(const char* name, Parameters from, Parameters to) {
    return {name, [from, to] {
                Effect effect(kRate);
                return StepsAcrossAJump(effect, from, to, 110.0);
            }};
}

}  // namespace

// A setting that jumps glides: a low tone's steps stay within what its own slope and a short swoop
// of pitch allow, and a reverberation comes and goes by steps no bigger than the steady sound's,
// far below the tone's or the tail's size that a cut would show.
TEST_P(SettingJump, GlidesWithoutAClick) {
    const Steps steps = GetParam().steps();
    EXPECT_LT(steps.jump, 2.5 * std::max(steps.before, steps.after))
        << "steady before " << steps.before << ", after " << steps.after;
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingJump,
    ::testing::Values(
        Across<ChorusEffect>("ChorusDelay", ChorusParameters{100, 0, 0, 0, Waveform::kSine, 0, 0},
                             ChorusParameters{100, 0, 0, 0, Waveform::kSine, 20, 0}),
        Across<ChorusEffect>("ChorusPhase",
                             ChorusParameters{100, 100, 0, 0, Waveform::kSine, 20, 90},
                             ChorusParameters{100, 100, 0, 0, Waveform::kSine, 20, -90}),
        Across<ChorusEffect>("ChorusWaveform",
                             ChorusParameters{100, 100, 0, 0.1F, Waveform::kTriangle, 20, 90},
                             ChorusParameters{100, 100, 0, 0.1F, Waveform::kSine, 20, 90}),
        Across<FlangerEffect>("FlangerMix", FlangerParameters{0, 0, 0, 0, Waveform::kSine, 4, 0},
                              FlangerParameters{100, 0, 0, 0, Waveform::kSine, 4, 0}),
        Across<FlangerEffect>("FlangerFeedback",
                              FlangerParameters{50, 0, -50, 0, Waveform::kSine, 2, 0},
                              FlangerParameters{50, 0, 50, 0, Waveform::kSine, 2, 0}),
        Across<ReverbEffect>("ReverbTime", ReverbParameters{0, 0, 3000, 0.999F},
                             ReverbParameters{0, 0, 0.001F, 0.999F}),
        Across<ReverbEffect>("ReverbRatio", ReverbParameters{0, 0, 3000, 0.999F},
                             ReverbParameters{0, 0, 3000, 0.001F}),
        Across<ReverbEffect>("ReverbMix", ReverbParameters{0, 0, 3000, 0.999F},
                             ReverbParameters{0, -96, 3000, 0.999F}),
        Across<ReverbEffect>("ReverbInputGain", ReverbParameters{-96, 0, 3000, 0.999F},
                             ReverbParameters{0, 0, 3000, 0.999F})),
    [](const auto& info) { return info.param.name; });

TEST(EffectSettings, BadValuesAreClampedAndNeverReachTheSound) {
    ExpectClamped<EchoEffect>(EchoParameters{1e30F, 1e30F, 1e30F, 1e30F, true},
                              EchoParameters{100, 100, 2000, 2000, true},
                              EchoParameters{-1e30F, -1e30F, -1e30F, -1e30F, false},
                              EchoParameters{0, 0, 1, 1, false},
                              EchoParameters{kNaN, kNaN, kNaN, kNaN, false});
    ExpectClamped<GargleEffect>(GargleParameters{INT_MAX, static_cast<GargleWave>(7)},
                                GargleParameters{1000, GargleWave::kTriangle},
                                GargleParameters{INT_MIN, GargleWave::kSquare},
                                GargleParameters{1, GargleWave::kSquare}, GargleParameters{});
    ExpectClamped<DistortionEffect>(DistortionParameters{1e30F, 1e30F, 1e30F, 1e30F, 1e30F},
                                    DistortionParameters{0, 100, 8000, 8000, 8000},
                                    DistortionParameters{-1e30F, -1e30F, -1e30F, -1e30F, -1e30F},
                                    DistortionParameters{-60, 0, 100, 100, 100},
                                    DistortionParameters{kNaN, kNaN, kNaN, kNaN, kNaN});
    ExpectClamped<CompressorEffect>(
        CompressorParameters{1e30F, 1e30F, 1e30F, 1e30F, 1e30F, 1e30F},
        CompressorParameters{60, 500, 3000, 0, 100, 4},
        CompressorParameters{-1e30F, -1e30F, -1e30F, -1e30F, -1e30F, -1e30F},
        CompressorParameters{-60, 0.01F, 50, -60, 1, 0},
        CompressorParameters{kNaN, kNaN, kNaN, kNaN, kNaN, kNaN});
    ExpectClamped<ChorusEffect>(
        ChorusParameters{1e30F, 1e30F, 1e30F, 1e30F, static_cast<Waveform>(7), 1e30F, INT_MAX},
        ChorusParameters{100, 100, 99, 10, Waveform::kSine, 20, 180},
        ChorusParameters{-1e30F, -1e30F, -1e30F, -1e30F, Waveform::kSine, -1e30F, INT_MIN},
        ChorusParameters{0, 0, -99, 0, Waveform::kSine, 0, -180},
        ChorusParameters{kNaN, kNaN, kNaN, kNaN, Waveform::kSine, kNaN, 90});
    ExpectClamped<FlangerEffect>(
        FlangerParameters{1e30F, 1e30F, 1e30F, 1e30F, Waveform::kSine, 1e30F, INT_MAX},
        FlangerParameters{100, 100, 99, 10, Waveform::kSine, 4, 180},
        FlangerParameters{-1e30F, -1e30F, -1e30F, -1e30F, Waveform::kSine, -1e30F, INT_MIN},
        FlangerParameters{0, 0, -99, 0, Waveform::kSine, 0, -180},
        FlangerParameters{kNaN, kNaN, kNaN, kNaN, Waveform::kSine, kNaN, 0});
    ExpectClamped<ReverbEffect>(
        ReverbParameters{1e30F, 1e30F, 1e30F, 1e30F}, ReverbParameters{0, 0, 3000, 0.999F},
        ReverbParameters{-1e30F, -1e30F, -1e30F, -1e30F},
        ReverbParameters{-96, -96, 0.001F, 0.001F}, ReverbParameters{kNaN, kNaN, kNaN, kNaN});
}
