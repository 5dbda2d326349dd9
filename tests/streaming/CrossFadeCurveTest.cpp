#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "output/MixerEngine.h"
#include "output/SoundOutput.h"

using namespace tev;

namespace {

// The gains a cross-fader position gives Deck A and Deck B for a curve parameter.
std::pair<double, double> GainsAt(double p, double x) {
    SoundOutput output;
    output.ComputeCrossFadeCurve(p);
    const double levels[kDeckCount] = {1.0, 1.0};
    output.ApplyCrossFader(x, levels);
    return {output.curveGain(0), output.curveGain(1)};
}

}  // namespace

TEST(CrossFadeCurve, StraightLineAtZero) {
    auto [a, b] = GainsAt(0.0, -1.0);
    EXPECT_DOUBLE_EQ(a, 98.0 / 99.0);
    EXPECT_DOUBLE_EQ(b, 0.0);
    std::tie(a, b) = GainsAt(0.0, 1.0);
    EXPECT_DOUBLE_EQ(a, 0.0);
    EXPECT_DOUBLE_EQ(b, 98.0 / 99.0);
    std::tie(a, b) = GainsAt(0.0, 0.0);
    EXPECT_DOUBLE_EQ(a, 49.0 / 99.0);
    EXPECT_DOUBLE_EQ(b, 49.0 / 99.0);
}

TEST(CrossFadeCurve, SoftAtMinusOneAndSharpAtOne) {
    auto [a, b] = GainsAt(-1.0, 0.0);
    EXPECT_NEAR(a, std::cbrt(49.0 / 99.0), 1e-12);
    EXPECT_NEAR(b, 0.791, 0.001);
    std::tie(a, b) = GainsAt(-1.0, -1.0);
    EXPECT_NEAR(a, std::cbrt(98.0 / 99.0), 1e-12);
    EXPECT_DOUBLE_EQ(b, 0.0);
    std::tie(a, b) = GainsAt(1.0, 0.0);
    EXPECT_DOUBLE_EQ(a, 1.0);
    EXPECT_DOUBLE_EQ(b, 1.0);
    std::tie(a, b) = GainsAt(1.0, -1.0);
    EXPECT_DOUBLE_EQ(a, 1.0);
    EXPECT_DOUBLE_EQ(b, 0.0);
    std::tie(a, b) = GainsAt(1.0, 1.0);
    EXPECT_DOUBLE_EQ(a, 0.0);
    EXPECT_DOUBLE_EQ(b, 1.0);
}

TEST(CrossFadeCurve, DeckTablesMirrorAndOutOfRangePointsAreZero) {
    SoundOutput output;
    output.ComputeCrossFadeCurve(0.37);
    for (int i = 0; i < SoundOutput::kCurvePoints; ++i) {
        EXPECT_DOUBLE_EQ(output.CurvePoint(0, i), output.CurvePoint(1, 98 - i));
    }
    EXPECT_EQ(output.CurvePoint(0, -1), 0.0);
    EXPECT_EQ(output.CurvePoint(1, 99), 0.0);
    EXPECT_EQ(output.CurvePoint(2, 5), 0.0);
}

TEST(CrossFadeCurve, LevelTimesCurveGainGoesThroughTheVolumeRule) {
    auto card = std::make_shared<ManualClockCard>(2);
    SoundOutput output;
    output.Open(card, 0, "test");
    output.CreateDeckBuffers(0, 44100, false, false);
    output.ComputeCrossFadeCurve(0.0);
    const double levels[kDeckCount] = {0.7, 0.7};
    output.ApplyCrossFader(0.0, levels);
    EXPECT_EQ(output.deckDevice()->deck(0).forwardBuffer->GetVolume(), -3660);
}

TEST(CrossFadeCurve, TheEngineAppliesBothFadersToTheirOutputsAndStoresTheCurve) {
    auto card = std::make_shared<ManualClockCard>(4);
    SoundOutput main;
    SoundOutput monitor;
    main.Open(card, 0, "main");
    monitor.Open(card, 1, "monitor");
    DeckReports decks;
    AnalysisThreads analysis;
    MixerEngine engine(monitor, main, decks, analysis);
    engine.deckLevel[0].Set(1.0);
    engine.deckLevel[1].Set(0.5);
    engine.mainCrossFader.Set(1.0);
    engine.monitorCrossFader.Set(-1.0);
    engine.SetCurveParameter(1.0, nullptr);
    EXPECT_DOUBLE_EQ(main.curveGain(0), 0.0);
    EXPECT_DOUBLE_EQ(main.curveGain(1), 1.0);
    EXPECT_DOUBLE_EQ(monitor.curveGain(0), 1.0);
    EXPECT_DOUBLE_EQ(monitor.curveGain(1), 0.0);
}
