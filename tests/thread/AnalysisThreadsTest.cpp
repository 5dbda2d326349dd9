#include "analysis/AnalysisThreads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

using namespace tev;

namespace {

constexpr int kSlots = static_cast<int>(kDeckSlots);
constexpr uint32_t kSamples = AnalysisThreads::kChunkSamples;

// One chunk whose frame f has left = mid(f) + side and right = mid(f) - side: the mono signal
// (left + right) / 2 is mid alone, whatever the channels carry apart.
std::vector<int16_t> Chunk(const std::function<double(uint32_t)>& mid, int side = 0) {
    std::vector<int16_t> chunk(kSamples);
    for (uint32_t f = 0; f < kChunkFrames; ++f) {
        const long m = std::lround(mid(f));
        chunk[2 * f] = static_cast<int16_t>(std::clamp(m + side, -32768L, 32767L));
        chunk[2 * f + 1] = static_cast<int16_t>(std::clamp(m - side, -32768L, 32767L));
    }
    return chunk;
}

void Store(AnalysisThreads& analysis, int deck, int slot, const std::vector<int16_t>& chunk) {
    analysis.StoreChunk(deck, chunk.data(), static_cast<uint32_t>(slot) * kChunkBytes);
}

// A sine continuing across chunks: chunk `n` of it.
std::function<double(uint32_t)> Sine(double hz, double amplitude, int n = 0) {
    return [=](uint32_t f) {
        const double t = (static_cast<double>(n) * kChunkFrames + f) / 44100.0;
        return amplitude * std::sin(2 * std::numbers::pi * hz * t);
    };
}

struct AnalysisThreadsTest : ::testing::Test {
    void SetUp() override { ResetEngineState(); }
    void TearDown() override { ResetEngineState(); }
};

}  // namespace

TEST_F(AnalysisThreadsTest, ScopeAveragesTheMonoSignalOverHundredSpansOfTheChunkHeard) {
    AnalysisThreads analysis;
    analysis.SetScopeEnabled(true);
    // 441 Hz is one period per 100 samples: each span of 29 sees a known part of it. Deck A
    // holds another tone in the same slot, and the slot is the ring's last.
    constexpr double kAmplitude = 20000.0;
    Store(analysis, 1, kSlots - 1, Chunk(Sine(441.0, kAmplitude), 3000));
    Store(analysis, 0, kSlots - 1, Chunk(Sine(1000.0, 5000.0)));
    analysis.Analyze(1, kSlots - 1, false);
    for (int i = 0; i < kScopePoints; ++i) {
        double mean = 0.0;
        for (int k = 0; k < AnalysisThreads::kScopeSpan; ++k) {
            mean += kAmplitude * std::sin(2 * std::numbers::pi * (i * 29 + k) / 100.0);
        }
        mean /= AnalysisThreads::kScopeSpan;
        EXPECT_NEAR(scopeTrace[1][i], mean, 1.0) << "average " << i;
    }
    EXPECT_EQ(scopeTrace[0][0], 0.0) << "Deck A was not analysed";
}

TEST_F(AnalysisThreadsTest, OctaveLevelsFindTheToneAndApproachASteadyLevelGeometrically) {
    AnalysisThreads analysis;
    analysis.SetOctaveEnabled(true);
    // A quiet 1 kHz tone until the filters and the smoothing have settled, then ten times
    // louder (20 dB more): the level takes 61.8 % of the step at once, 85.4 % after two.
    int n = 0;
    auto play = [&](double amplitude) {
        const int slot = n % kSlots;
        Store(analysis, 0, slot, Chunk(Sine(1000.0, amplitude, n)));
        analysis.Analyze(0, slot, false);
        ++n;
    };
    for (int i = 0; i < 40; ++i) {
        play(1000.0);
    }
    const double* levels = octaveLevels[0];
    EXPECT_EQ(std::max_element(levels, levels + kOctaveBands) - levels, 5) << "the 1 kHz band";
    const double before = levels[5];
    EXPECT_NEAR(before, 20 * std::log10(1000.0 / std::sqrt(2.0)), 1.0);
    play(10000.0);
    EXPECT_NEAR((levels[5] - before) / 20.0, 0.618, 0.02);
    play(10000.0);
    EXPECT_NEAR((levels[5] - before) / 20.0, 0.854, 0.01);
    EXPECT_EQ(octaveLevels[1][5], 0.0) << "Deck B was not analysed";
}

TEST_F(AnalysisThreadsTest, WithOnlyTheChartOnTheOctaveAndScopeTablesStayAsTheyWere) {
    AnalysisThreads analysis;
    Store(analysis, 0, 3, Chunk(Sine(1000.0, 10000.0)));
    analysis.Analyze(0, 3, false);
    EXPECT_EQ(chartIndex[0], 1);
    EXPECT_EQ(octaveLevels[0][5], 0.0);
    EXPECT_EQ(scopeTrace[0][1], 0.0);
    EXPECT_FALSE(deckEvents[0].octaveAnalysisDone.IsSet());
    EXPECT_FALSE(deckEvents[0].scopeAnalysisDone.IsSet());
}

TEST_F(AnalysisThreadsTest, BandChartCapsTheMaximumAtFullScaleAndKeepsTheMinimum) {
    AnalysisThreads analysis;
    // A full-scale 15 Hz square wave: the low-pass band overshoots both rails.
    const auto square = Chunk([](uint32_t f) { return (f / 1470) % 2 == 0 ? 32767.0 : -32768.0; });
    for (int c = 0; c < 3; ++c) {
        Store(analysis, 1, (c + AnalysisThreads::kChartLead) % kSlots, square);
        analysis.Analyze(1, c, false);
    }
    EXPECT_EQ(chartMax[1][2], 32767.0F);
    EXPECT_LT(chartMin[1][2], -32768.0F) << "the minimum is kept beyond full scale";
}

// The chart of chunk c is taken from chunk c + 25, wrapping past the ring's end, and fills its
// own ring of 50 forward (band chart) or backward (raw chart, for backward play).
struct ChartRing {
    bool raw;
    int startIndex;
    int nextIndex;
};
class ChartRingTest : public AnalysisThreadsTest,
                      public ::testing::WithParamInterface<ChartRing> {};

TEST_P(ChartRingTest, ChunksNearTheRingsEndWrapAndTheChartRingTurnsItsWay) {
    const ChartRing ring = GetParam();
    AnalysisThreads analysis;
    // A silent chunk first, so that the chart bank forgets what it filtered before.
    analysis.Analyze(0, 0, false);
    // Every chunk a plateau of its own height between silences: the chart's entry names the
    // chunk it came from (heights 15 % apart, well beyond the low-pass's overshoot), and no
    // chunk's filtering carries the one before it.
    auto height = [](int slot) { return std::round(400.0 * std::pow(1.15, slot % 25)); };
    for (int slot = 0; slot < kSlots; ++slot) {
        Store(analysis, 0, slot,
              Chunk([&, slot](uint32_t f) { return f >= 700 && f < 2200 ? height(slot) : 0.0; }));
    }
    chartIndex[0] = ring.startIndex;
    int index = ring.startIndex;
    // Past a whole lap of the chart ring and across the wrap of the analysis ring.
    for (int lap = 0; lap < 3; ++lap) {
        for (int c = 95; c < kSlots; ++c) {
            analysis.Analyze(0, c, ring.raw);
            const auto expected = static_cast<float>(height(c + 25 - kSlots));
            // The low-pass overshoots the plateau's edges by a few per cent.
            const float tolerance = ring.raw ? 0.0F : 0.06F * expected;
            EXPECT_NEAR(chartMax[0][index], expected, tolerance) << "chunk " << c;
            EXPECT_NEAR(chartMin[0][index], 0.0F, tolerance) << "chunk " << c;
            const int next = chartIndex[0];
            if (index == ring.startIndex) {
                EXPECT_EQ(next, ring.nextIndex);
            }
            EXPECT_EQ(next, (index + (ring.raw ? kChartEntries - 1 : 1)) % kChartEntries);
            index = next;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Directions, ChartRingTest,
                         ::testing::Values(ChartRing{true, 0, 49}, ChartRing{false, 49, 0}),
                         [](const auto& info) { return info.param.raw ? "Raw" : "Band"; });

TEST_F(AnalysisThreadsTest, ChunkLevelIsTheDecibelsOfTheStoredSlotsDeviation) {
    AnalysisThreads analysis;
    Store(analysis, 1, 7, Chunk([](uint32_t) { return 0.0; }, 10000));  // +-10000: 80 dB
    Store(analysis, 1, 8, Chunk([](uint32_t) { return 1000.0; }));      // constant: no deviation
    EXPECT_NEAR(analysis.ChunkLevelDb(1, 7), 80.0F, 1e-3);
    EXPECT_EQ(analysis.ChunkLevelDb(1, 8), 0.0F);
    EXPECT_EQ(analysis.ChunkLevelDb(0, 7), 0.0F) << "the other deck's ring";
}

// Both decks analysed in turn, every kind at once, many times: each result belongs to the deck
// and chunk asked for, and every Analyze returns with its results complete. Under
// ThreadSanitizer this is the hand-over's check.
TEST_F(AnalysisThreadsTest, EveryAnalysisOfEitherDeckReturnsWithItsOwnResultsComplete) {
    AnalysisThreads analysis;
    analysis.SetOctaveEnabled(true);
    analysis.SetScopeEnabled(true);
    for (int slot = 0; slot < kSlots; ++slot) {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            const double value = (deck == 0 ? 1.0 : -1.0) * 50.0 * (slot + 1);
            Store(analysis, deck, slot, Chunk([value](uint32_t) { return value; }));
        }
    }
    for (int i = 0; i < 300; ++i) {
        const int deck = i % kDeckCount;
        const int chunk = (i * 7) % kSlots;
        const bool raw = i % 3 == 0;
        const int position = chartIndex[deck];
        analysis.Analyze(deck, chunk, raw);
        const double sign = deck == 0 ? 1.0 : -1.0;
        ASSERT_EQ(scopeTrace[deck][kScopePoints - 1], sign * 50.0 * (chunk + 1)) << i;
        if (raw) {
            const int lead = (chunk + AnalysisThreads::kChartLead) % kSlots;
            ASSERT_EQ(chartMax[deck][position], sign * 50.0 * (lead + 1)) << i;
        }
        ASSERT_TRUE(deckEvents[deck].chartAnalysisDone.IsSet());
    }
}
