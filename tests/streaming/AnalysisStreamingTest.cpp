#include <gtest/gtest.h>

#include <vector>

#include "streaming/StreamRig.h"

using namespace tev;
using tev::test::Sample;
using tev::test::StreamRig;

namespace {

constexpr size_t kRamp = test::kFadeInFrames;

// A WAV whose chunks below `loudChunks` are a +-30000 square wave (about 89.5 dB, meter step 8)
// and whose later chunks are +-50 (34 dB, step 0).
void MakeLoudThenQuiet(StreamRig& rig, const std::string& name, size_t loudChunks, size_t chunks) {
    std::vector<int16_t> samples(chunks * kChunkFrames * 2);
    for (size_t f = 0; f < chunks * kChunkFrames; ++f) {
        const int16_t v = f / kChunkFrames < loudChunks ? 30000 : 50;
        samples[2 * f] = f % 2 == 0 ? v : static_cast<int16_t>(-v);
        samples[2 * f + 1] = samples[2 * f];
    }
    test::WriteWav(rig.dir + "/" + name, 2, 16, 44100, test::Bytes(samples));
}

}  // namespace

TEST(AnalysisStreaming, BothDecksPlaySampleForSampleWhileEveryAnalysisRuns) {
    StreamRig rig;
    rig.analysis.SetOctaveEnabled(true);
    rig.analysis.SetScopeEnabled(true);
    const auto a = rig.MakeFile("a.wav", 200 * kChunkFrames, 0);
    rig.MakeFile("b.wav", 200 * kChunkFrames, 500);
    rig.Load(0, "a.wav");
    rig.Load(1, "b.wav");
    // Priming charts the 26 chunks written.
    EXPECT_EQ(chartIndex[0], 26);
    EXPECT_EQ(chartIndex[1], 26);
    // Both decks heard on the main output, quiet enough that their sum never clips.
    rig.engine->mainCrossFader.Set(0.0);
    rig.engine->deckLevel[0].Set(0.4);
    rig.engine->deckLevel[1].Set(0.4);
    rig.engine->UpdateDeckVolumes();
    const double gainA = test::Gain(0.4, rig.main.curveGain(0));
    const double gainB = test::Gain(0.4, rig.main.curveGain(1));
    ASSERT_GT(gainB, 0.0);
    ASSERT_LT(gainA + gainB, 1.0);
    rig.engine->StartForward(0);
    rig.engine->StartForward(1);
    const auto out = rig.PlaySlots(60);
    const auto b = test::NumberedFrames(200 * kChunkFrames, 2, 500);
    for (size_t f = kRamp; f < out.size() / 4; ++f) {
        ASSERT_NEAR(Sample(out, f, 0), a[2 * f] * gainA + b[2 * f] * gainB, 1.0) << "frame " << f;
        ASSERT_NEAR(Sample(out, f, 1), a[2 * f + 1] * gainA + b[2 * f + 1] * gainB, 1.0) << f;
    }
    // One chart entry per chunk heard, for each deck: their charts turned 60 sectors on.
    EXPECT_EQ(chartIndex[0], (26 + 60) % kChartEntries);
    EXPECT_EQ(chartIndex[1], (26 + 60) % kChartEntries);
    EXPECT_GT(octaveLevels[1][9], 0.0);
}

TEST(AnalysisStreaming, TheMeterFollowsBackwardPlayAndItsChartTurnsBack) {
    StreamRig rig;
    MakeLoudThenQuiet(rig, "a.wav", 40, 300);
    rig.Load(0, "a.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(70);
    EXPECT_EQ(rig.engine->meters[0].Current(), 0) << "the quiet part sounds";
    StreamRig::TurnBackward(0);
    std::vector<int> shown;
    for (int i = 0; i < 40 && rig.main.IsPlayingBackward(0); ++i) {
        const int index = chartIndex[0];
        rig.PlaySlots(1);
        EXPECT_EQ(chartIndex[0], (index + kChartEntries - 1) % kChartEntries) << "slot " << i;
        if (shown.empty() || shown.back() != rig.engine->meters[0].Current()) {
            shown.push_back(rig.engine->meters[0].Current());
        }
    }
    // Back into the loud part: the meter climbs three steps a slot.
    EXPECT_EQ(shown, (std::vector<int>{0, 3, 6, 8}));
}

TEST(AnalysisStreaming, StarvedPlayRestartsTheMeterFromZero) {
    StreamRig rig;
    MakeLoudThenQuiet(rig, "a.wav", 300, 300);
    rig.Load(0, "a.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(10);
    ASSERT_EQ(rig.engine->meters[0].Current(), 8);
    // The UI thread stalls past everything written: the next notification finds play starved.
    rig.card->Render(static_cast<int>(kChunkFrames) * 30);
    const int handled = rig.forwardNotifications;
    ASSERT_TRUE(rig.pump.PumpUntil([&] { return rig.forwardNotifications > handled; },
                                   std::chrono::seconds(5)));
    EXPECT_EQ(rig.engine->meters[0].Current(), 3);
}
