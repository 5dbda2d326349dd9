#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/FilterBank.h"
#include "streaming/StreamRig.h"
#include "support/ToneLevel.h"

using namespace tev;
using tev::test::AmplitudeAt;
using tev::test::Sample;
using tev::test::StreamRig;

namespace {

// 0.4 s: every tone below holds a whole number of periods.
constexpr size_t kMeasureFrames = 6 * kChunkFrames;

// The deck's band set as the equalizer panel leaves it: `bands` bands, band `band` at `gain`,
// the others flat.
void SetBands(int deck, int bands, int band, float gain) {
    FilterBank& set = equalizerBanks[deck];
    for (int b = 0; b < FilterBank::kMaxBands; ++b) {
        set.Design(bands);
        set.SetBandGain(b, 1.0F);
    }
    set.SetBandGain(band, gain);
}

// The level of `hz` on the main (channel 0) and the monitor (channel 2) output over the last
// measuring window of `out`, in dB against `reference`.
std::pair<double, double> LevelsDb(const std::vector<float>& out, double hz, double reference) {
    return {20 * std::log10(AmplitudeAt(out, 4, 0, hz, kMeasureFrames) / reference),
            20 * std::log10(AmplitudeAt(out, 4, 2, hz, kMeasureFrames) / reference)};
}

struct Heard {
    int bands;
    int band;
    float gain;  // the slider's: 1.15 at its top, 0.85 at its bottom
    double hz;
    double db;
    double tolerance;
};

class EqualizerHeard : public ::testing::TestWithParam<Heard> {};

}  // namespace

// A tone through a deck whose equalizer the panel has switched on, on both outputs, against the
// same tone a moment before with the equalizer flat.
TEST_P(EqualizerHeard, ABandRaisesOrLowersWhatItsSliderSays) {
    const Heard& c = GetParam();
    StreamRig rig;
    rig.MakeTone("tone.wav", 40 * kChunkFrames, c.hz, 3000.0);
    rig.Load(0, "tone.wav");
    SetBands(0, c.bands, c.band, 1.0F);
    SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, 0);
    rig.engine->StartForward(0);
    rig.PlaySlots(2);  // the fade-in
    const auto flat = rig.PlaySlots(6);
    const double reference = AmplitudeAt(flat, 4, 0, c.hz, kMeasureFrames);
    const auto [flatMain, flatMonitor] = LevelsDb(flat, c.hz, reference);
    EXPECT_NEAR(flatMonitor, 0.0, 0.01) << "the flat equalizer is heard as nothing";

    equalizerBanks[0].SetBandGain(c.band, c.gain);
    SendAppMessage(hMixerWnd, WM_SET_EQUALIZER_BAND, 0, c.band);
    rig.PlaySlots(1);  // the cross-fade
    const auto [main, monitor] = LevelsDb(rig.PlaySlots(6), c.hz, reference);
    EXPECT_NEAR(main, c.db, c.tolerance);
    EXPECT_NEAR(monitor, c.db, c.tolerance);
}

// Band centres as the panel shows them, kept within the effect's 80 ... 16,000 Hz.
INSTANTIATE_TEST_SUITE_P(
    Layouts, EqualizerHeard,
    ::testing::Values(Heard{3, 0, 1.15F, 100.0, 15.0, 0.5}, Heard{3, 0, 1.15F, 5000.0, 0.0, 1.0},
                      Heard{3, 0, 0.85F, 100.0, -15.0, 0.5}, Heard{3, 1, 0.9F, 1190.0, -10.0, 0.1},
                      Heard{3, 2, 1.15F, 12000.0, 15.0, 0.1}, Heard{2, 0, 1.15F, 375.0, 15.0, 0.1},
                      Heard{2, 1, 0.85F, 12000.0, -15.0, 0.1}, Heard{5, 0, 1.15F, 80.0, 15.0, 0.1},
                      Heard{5, 2, 0.85F, 750.0, -15.0, 0.1}, Heard{5, 2, 1.15F, 10000.0, 0.0, 1.0},
                      Heard{5, 4, 1.2F, 12000.0, 15.0, 0.1}));

// The equalizer stays with the deck when the main output moves to another card while it plays.
TEST(Equalizer, ItStaysOnThroughADeviceChange) {
    StreamRig rig;
    rig.MakeTone("tone.wav", 60 * kChunkFrames, 100.0, 3000.0);
    rig.Load(0, "tone.wav");
    SetBands(0, 3, 0, 1.15F);
    SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, 0);
    rig.engine->StartForward(0);
    rig.PlaySlots(3);
    auto card = std::make_shared<ManualClockCard>(2);
    rig.engine->SuspendForDeviceChange();
    rig.main.Open(card, 0, "another");
    rig.engine->ResumeAfterDeviceChange();
    const auto out = rig.PlaySlotsOn(*card, 8);
    const double level = 32768.0 * AmplitudeAt(out, 2, 0, 100.0, kMeasureFrames);
    EXPECT_NEAR(20 * std::log10(level / (3000.0 * test::Gain(1.0, 98.0 / 99.0))), 15.0, 0.5);
}

// Switching the equalizer on, changing its band count and switching it off while a deck plays:
// the sound fades from one to the next, never stops and never steps faster than the tone
// itself moves at its loudest.
TEST(Equalizer, ChangesWhilePlayingNeitherGapNorClick) {
    StreamRig rig;
    constexpr double kHz = 200.0;
    constexpr double kAmplitude = 4000.0;
    rig.MakeTone("tone.wav", 60 * kChunkFrames, kHz, kAmplitude);
    rig.Load(0, "tone.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(2);
    std::vector<float> out;
    auto play = [&](int slots) {
        const auto more = rig.PlaySlots(slots);
        out.insert(out.end(), more.begin(), more.end());
    };
    SetBands(0, 3, 0, 1.15F);
    SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, 0);
    play(3);
    SetBands(0, 5, 1, 0.85F);
    SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, 0);
    play(3);
    SetBands(0, 2, 0, 1.15F);
    SendAppMessage(hMixerWnd, WM_APPLY_EQUALIZER, 0);
    play(3);
    SendAppMessage(hMixerWnd, WM_DISABLE_EQUALIZER, 0);
    play(3);

    // At most +15 dB on a full-left deck: the fastest a steady tone can move between frames, and
    // a level change as fast as the sound layer's gain ramp (full scale in 256 frames).
    const double loudest = kAmplitude * std::pow(10.0, 15.0 / 20.0) * test::Gain(1.0, 98.0 / 99.0);
    const double allowed = loudest * 2 * M_PI * kHz / 44100.0 + 32768.0 / 256.0;
    const size_t period = static_cast<size_t>(44100 / kHz);
    for (int channel : {0, 2}) {
        EXPECT_LE(test::LargestStep(out, channel), allowed) << "channel " << channel;
        // No gap: every period of the tone keeps a peak of at least the quietest setting's.
        EXPECT_GT(test::QuietestSpan(out, channel, period), kAmplitude * 0.1)
            << "channel " << channel;
    }
    // The last 0.1 s, after the last cross-fade.
    const double off = 32768.0 * AmplitudeAt(out, 4, 0, kHz, kMeasureFrames / 4);
    EXPECT_NEAR(off, kAmplitude * test::Gain(1.0, 98.0 / 99.0), 2.0) << "off is flat again";
}
