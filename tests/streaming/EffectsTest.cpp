#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "streaming/StreamRig.h"

using namespace tev;
using tev::test::Sample;
using tev::test::StreamRig;

namespace {

// The effects panel's choice, as the mixer reads it when told.
void Choose(StreamRig& rig, int deck, const char* name, float first, float second) {
    rig.decks.effectName[deck] = name;
    effectParameter[deck][0] = first;
    effectParameter[deck][1] = second;
    SendAppMessage(hMixerWnd, WM_SET_EFFECT, WPARAM(deck));
}

// A file of silence with clicks of `amplitude` every `every` frames from `first`.
std::vector<int16_t> Clicks(StreamRig& rig, const std::string& name, size_t frames, size_t first,
                            size_t every, int16_t amplitude) {
    std::vector<int16_t> samples(2 * frames, 0);
    for (size_t f = first; f < frames; f += every) {
        samples[2 * f] = samples[2 * f + 1] = amplitude;
    }
    test::WriteWav(rig.dir + "/" + name, 2, 16, 44100, test::Bytes(samples));
    return samples;
}

}  // namespace

// An echo chosen before the track is loaded comes with it, on both outputs, at the delay the
// panel set; switched off, its repeats still die away ("echo out") while the deck plays on dry.
TEST(Effects, AnEchoRepeatsAtItsDelayOnBothOutputsAndDiesAwayWhenSwitchedOff) {
    StreamRig rig;
    Choose(rig, 0, "Echo", 50.0F, 300.0F);
    const size_t delay = 300 * 44100 / 1000;
    Clicks(rig, "click.wav", 200 * kChunkFrames, 10000, 100 * kChunkFrames, 16000);
    rig.Load(0, "click.wav");
    rig.engine->StartForward(0);
    auto out = rig.PlaySlots(8);  // past the click and its first repeat
    SendAppMessage(hMixerWnd, WM_CLEAR_EFFECT, 0);
    const auto after = rig.PlaySlots(14);
    out.insert(out.end(), after.begin(), after.end());
    ASSERT_GT(out.size() / 4, 10000 + 4 * delay);
    const double click = 16000 * test::Gain(1.0, 98.0 / 99.0);
    for (int channel : {0, 1, 2, 3}) {
        SCOPED_TRACE(channel);
        EXPECT_NEAR(Sample(out, 10000, channel), click * 0.5, 2.0) << "the dry half";
        // Each repeat comes back at half the one before (feedback 50 %), the last three after
        // the echo was switched off at frame 23,520.
        for (int k = 1; k <= 4; ++k) {
            EXPECT_NEAR(Sample(out, 10000 + k * delay, channel), click * 0.5 * std::pow(0.5, k - 1),
                        2.0)
                << "repeat " << k;
        }
        EXPECT_NEAR(Sample(out, 10000 + delay / 2, channel), 0.0, 1.0);
    }
}

// Effects changed while a tone plays, on and off, one after the other: the sound moves from one
// to the next within a few milliseconds, never by a step beyond what a loud tone and the gain
// ramp allow, and never stops.
TEST(Effects, SwitchingWhilePlayingNeitherStepsNorStops) {
    StreamRig rig;
    constexpr double kHz = 200.0;
    rig.MakeTone("tone.wav", 100 * kChunkFrames, kHz, 3000.0);
    rig.Load(0, "tone.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(2);
    std::vector<float> out;
    const struct {
        const char* name;
        float first, second;
    } choices[] = {{"Echo", 50, 500},     {"Reverb", 1000, 0.5F}, {"Chorus", 25, 1.1F},
                   {"Flanger", -50, 2},   {"Gargle", 20, 1},      {"Distortion", -18, 15},
                   {"Compressor", 0, 10}, {"No Effect", 0, 0},    {"Echo", 80, 100}};
    for (const auto& choice : choices) {
        if (std::string(choice.name) == "No Effect") {
            SendAppMessage(hMixerWnd, WM_CLEAR_EFFECT, 0);
        } else {
            Choose(rig, 0, choice.name, choice.first, choice.second);
        }
        const auto more = rig.PlaySlots(3);
        out.insert(out.end(), more.begin(), more.end());
    }
    // Echo and reverb tails and a chorus can add up to about three times the tone.
    const double loudest = 3 * 3000.0;
    const double allowed = loudest * 2 * M_PI * kHz / 44100.0 + 32768.0 / 256.0;
    for (int channel : {0, 3}) {
        EXPECT_LT(test::LargestStep(out, channel), allowed) << "channel " << channel;
        // No gap: each gargle period (50 ms) keeps a peak (the distortion's band-pass leaves
        // little of a 200 Hz tone, but not nothing).
        EXPECT_GT(test::QuietestSpan(out, channel, 2205), 10.0) << "channel " << channel;
    }
}
