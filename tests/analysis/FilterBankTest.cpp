#include "analysis/FilterBank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/SampleFormat.h"
#include "support/AllocationCounter.h"

using namespace tev;

namespace {

constexpr int kChunk = FilterBank::kChunk;
constexpr int kPoints = FilterBank::kResponsePoints;
constexpr double kAmplitude = 10000.0;

// A tone on a steady level for two chunks, the first filling the history; the second's mix. Clip
// protection, when asked, acts on the second only.
std::vector<float> Play(FilterBank& bank, double hz, float level = 0, bool clipProtect = false) {
    std::vector<float> chunk(kChunk);
    for (int c = 0; c < 2; ++c) {
        for (int k = 0; k < kChunk; ++k) {
            const double t = (c * kChunk + k) / 44100.0;
            chunk[k] =
                level + static_cast<float>(kAmplitude * std::sin(2 * std::numbers::pi * hz * t));
        }
        bank.ProcessChunk(chunk.data(), c == 1, clipProtect && c == 1, nullptr, false);
    }
    return chunk;
}

// Half of a band's (or the mix's) peak-to-peak output for the tone, in dB of the tone.
double GainDb(float low, float high) {
    return 20.0 * std::log10((high - low) / 2.0 / kAmplitude);
}
double BandDb(const FilterBank& bank, int band) {
    return GainDb(bank.GetBandMin(band), bank.GetBandMax(band));
}

struct Layout {
    int requested;
    int bands;
};

class FilterBankLayout : public ::testing::TestWithParam<Layout> {};

// An impulse at the end of one chunk reaches the next through the history, and every band's
// response to it ends 511 samples into that chunk whatever the filter's length. Bands outside
// the layout answer nothing.
TEST_P(FilterBankLayout, BandsEndWithTheHistoryAndNothingIsOutsideThem) {
    auto bank = std::make_unique<FilterBank>();
    bank->Design(GetParam().requested);
    const int n = bank->GetNumBands();
    ASSERT_EQ(n, GetParam().bands);
    EXPECT_NEAR(bank->GetCenterFrequency(n - 1), n < 10 ? 12000.0 : 16000.0, 1e-6);
    for (int band = 0; band < n; ++band) {
        for (int b = 0; b < n; ++b) {
            bank->SetBandGain(b, b == band ? 1.0F : 0.0F);
        }
        std::vector<float> chunk(kChunk, 0.0F);
        chunk.back() = 1.0F;
        bank->ProcessChunk(chunk.data(), false, false, nullptr, false);
        chunk.back() = 0.0F;
        bank->ProcessChunk(chunk.data(), true, false, nullptr, false);
        const auto last =
            std::find_if(chunk.rbegin(), chunk.rend(), [](float s) { return s != 0; });
        EXPECT_EQ(last.base() - chunk.begin(), FilterBank::kHistory) << "band " << band;
    }
    for (const int outside : {-1, n}) {
        std::vector<float> response(kPoints, 1.0F);
        bank->GetBandResponse(outside, response.data());
        EXPECT_EQ((std::vector<double>{bank->GetBandGain(outside),
                                       bank->GetCenterFrequency(outside), bank->GetBandMin(outside),
                                       bank->GetBandMax(outside), bank->GetBandLevelDb(outside)}),
                  std::vector<double>(5, 0.0));
        EXPECT_EQ(response, std::vector<float>(kPoints, 0.0F));
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, FilterBankLayout,
                         ::testing::Values(Layout{1, 2}, Layout{3, 3}, Layout{5, 5}, Layout{6, 6},
                                           Layout{9, 9}, Layout{10, 10}, Layout{12, 12},
                                           Layout{31, 30}),
                         [](const auto& info) {
                             return "Design" + std::to_string(info.param.requested);
                         });

TEST(FilterBank, OctaveAndChartLayouts) {
    auto bank = std::make_unique<FilterBank>();
    bank->SelectAnalysisLayout(1);
    EXPECT_NEAR(bank->GetCenterFrequency(9), 16000.0, 1e-9);
    bank->SelectAnalysisLayout(2);
    EXPECT_EQ(bank->GetNumBands(), 10);
    bank->SelectAnalysisLayout(3);
    EXPECT_EQ(bank->GetNumBands(), 30);
    bank->Design(100);
    EXPECT_EQ(bank->GetNumBands(), 30);
    EXPECT_NEAR(bank->GetCenterFrequency(29), 16000.0, 1e-6);

    // The chart's bass band is a low-pass with half amplitude at 375 Hz.
    bank->Design(3);
    EXPECT_NEAR(bank->GetCenterFrequency(0), 118.12, 0.01);
    EXPECT_NEAR(bank->GetCenterFrequency(1), 1190.55, 0.01);
    for (const auto& [hz, db] : {std::pair{20.0, 0.0}, {60.0, 0.0}, {375.0, -6.0}}) {
        Play(*bank, hz);
        EXPECT_NEAR(BandDb(*bank, 0), db, 0.3) << hz << " Hz";
    }
    for (const double hz : {1000.0, 5000.0}) {
        Play(*bank, hz);
        EXPECT_LT(BandDb(*bank, 0), -60.0) << hz << " Hz";
    }
}

struct Resolution {
    int bands;
    int firstResolved;  // bands 1 ... firstResolved-1 are too narrow for their taps
    bool oneTapCount;
};

class FilterBankSound : public ::testing::TestWithParam<Resolution> {};

// What the ear hears through each band at gain 1: unity at the centre of every band its taps
// resolve, never a boost, the displayed curve equal to what is measured, and, when every band
// has the same length, bands that add up to the input.
TEST_P(FilterBankSound, BandsPassTheirTonesAndAddUpFlat) {
    const Resolution& layout = GetParam();
    auto bank = std::make_unique<FilterBank>();
    bank->Design(layout.bands);
    for (int b = 0; b < layout.bands; ++b) {
        Play(*bank, bank->GetCenterFrequency(b));
        if (b == 0 || b >= layout.firstResolved) {
            EXPECT_NEAR(BandDb(*bank, b), 0.0, 1.0) << "band " << b;
        } else {
            RecordProperty("narrow_band_" + std::to_string(b) + "_db",
                           std::to_string(BandDb(*bank, b)));
        }
    }
    std::vector<float> axis(kPoints);
    bank->GetFrequencyAxis(axis.data());
    std::vector<std::vector<float>> responses(layout.bands, std::vector<float>(kPoints));
    for (int b = 0; b < layout.bands; ++b) {
        bank->GetBandResponse(b, responses[b].data());
    }
    double lowest = 0.0;
    double highest = -1000.0;
    for (int i = 0; i < kPoints; i += 16) {
        const std::vector<float> mix = Play(*bank, axis[i]);
        const auto [low, high] = std::minmax_element(mix.begin(), mix.end());
        if (axis[i] >= 40.0F && axis[i] <= 16000.0F) {
            lowest = std::min(lowest, GainDb(*low, *high));
            highest = std::max(highest, GainDb(*low, *high));
        }
        for (int b = 0; b < layout.bands; ++b) {
            EXPECT_LT(BandDb(*bank, b), 0.2) << "band " << b << " at " << axis[i] << " Hz";
            if (responses[b][i] > -40.0F) {
                EXPECT_NEAR(responses[b][i], BandDb(*bank, b), 0.05)
                    << "band " << b << " at " << axis[i] << " Hz";
            }
        }
    }
    RecordProperty("sum_ripple_db", std::to_string(highest - lowest));
    if (layout.oneTapCount) {
        EXPECT_LT(highest - lowest, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, FilterBankSound,
                         ::testing::Values(Resolution{2, 1, false}, Resolution{3, 1, false},
                                           Resolution{5, 1, false}, Resolution{6, 4, false},
                                           Resolution{7, 3, true}, Resolution{10, 5, true},
                                           Resolution{12, 8, false}, Resolution{30, 19, false}),
                         [](const auto& info) {
                             return std::to_string(info.param.bands) + "Bands";
                         });

// Clip protection on a steady level through the two-band layout's low-pass, which has unit gain
// at DC; the high band passes none of it.
TEST(FilterBank, ClipProtectionLowersByTenthsAndRecoversByFiftieths) {
    auto bank = std::make_unique<FilterBank>();
    bank->Design(2);
    bank->SetBandGain(1, 0.0F);
    bool clipped = false;
    auto play = [&](float level) {
        std::vector<float> chunk(kChunk, level);
        bank->ProcessChunk(chunk.data(), true, true, &clipped, false);
        EXPECT_EQ(bank->GetBandMax(1), 0.0F);
        EXPECT_EQ(bank->GetBandMin(1), 0.0F);
        EXPECT_EQ(*std::max_element(chunk.begin(), chunk.end()), bank->GetBandMax(0));
        return bank->GetBandMax(0) / level;  // the gain applied
    };
    play(30000.0F);  // the step into the level rings past it: let it settle at gain 1
    ASSERT_FALSE(clipped);
    bank->SetBandGain(0, 1.5F);
    // 30,000 clips at 1.1, not at 1.08: 1.5 falls to 1.0 and climbs until it clips again.
    const struct {
        float gain;
        bool clippedBefore;
        bool clippedAfter;
    } steps[] = {{1.0F, false, true},   {1.02F, false, false}, {1.04F, true, true},
                 {1.06F, false, false}, {1.08F, false, false}, {1.0F, false, true}};
    for (int chunk = 0; chunk < 6; ++chunk) {
        clipped = steps[chunk].clippedBefore;
        EXPECT_NEAR(play(30000.0F), steps[chunk].gain, 1e-4) << "chunk " << chunk;
        EXPECT_EQ(clipped, steps[chunk].clippedAfter) << "chunk " << chunk;
        if (chunk == 2) {
            bank->Design(2);  // keeps the lowered gain and the history
        }
    }
    // Quieter, the band climbs by 0.02 a chunk to its own gain and stays there.
    play(20000.0F);
    float previous = play(20000.0F);
    for (int i = 0; i < 30; ++i) {
        const float gain = play(20000.0F);
        EXPECT_NEAR(gain, std::min(previous + 0.02F, 1.5F), 1e-4);
        previous = gain;
    }
    EXPECT_NEAR(previous, 1.5F, 1e-4);

    // The highest band goes first: a bass level that the treble pushes over the top gives way.
    bank->SetBandGain(0, 1.0F);
    bank->SetBandGain(1, 1.0F);
    Play(*bank, 12000.0, 25000.0F, true);
    EXPECT_NEAR(bank->GetBandMax(0) / 25000.0F, 0.9F, 1e-3);
    EXPECT_NEAR(BandDb(*bank, 1), 0.0, 0.1);
}

TEST(FilterBank, ResponseFallsToTheFloorAtGainZero) {
    auto bank = std::make_unique<FilterBank>();
    bank->Design(5);
    std::vector<float> plain(kPoints);
    std::vector<float> curve(kPoints);
    bank->GetBandResponse(2, plain.data());
    bank->SetBandGain(2, 0.0F);
    bank->UpdateBandResponse(2);
    bank->GetBandResponse(2, curve.data());
    EXPECT_EQ(curve, std::vector<float>(kPoints, -FilterBank::kFullScaleDb));
    bank->SetBandGain(2, 1.0F);
    bank->UpdateBandResponse(2);
    bank->GetBandResponse(2, curve.data());
    EXPECT_EQ(curve, plain);
}

// Redesigning between chunks keeps the gains and the samples heard so far: the next chunk sounds
// as if nothing happened. Nothing allocates, so the banks may work on any thread.
TEST(FilterBank, RedesignKeepsGainsAndHistoryAndNothingAllocates) {
    FilterBank& bank = octaveBanks[0];
    FilterBank& same = octaveBanks[1];
    std::vector<float> tone(kChunk);
    for (int k = 0; k < kChunk; ++k) {
        tone[k] = static_cast<float>(8000.0 * std::sin(0.07 * k) + 3000.0 * std::sin(0.9 * k));
    }
    std::vector<float> first[2] = {tone, tone};
    std::vector<float> second[2] = {tone, tone};
    std::vector<float> chart = tone;
    bool clipped = false;

    test::StartCountingAllocations();
    for (FilterBank* each : {&bank, &same}) {
        each->SelectAnalysisLayout(1);
        each->SetBandGain(3, 0.5F);
        each->UpdateBandResponse(3);
    }
    bank.ProcessChunk(first[0].data(), false, true, &clipped, false);
    same.ProcessChunk(first[1].data(), false, true, &clipped, false);
    bank.Design(10);
    bank.ProcessChunk(second[0].data(), true, false, nullptr, false);
    same.ProcessChunk(second[1].data(), true, false, nullptr, false);
    chartBanks[0].Design(3);
    chartBanks[0].ProcessChunk(chart.data(), true, true, &clipped, true);
    const float level = chartBanks[0].GetBandLevelDb(0);
    EXPECT_EQ(test::StopCountingAllocations(), 0);

    EXPECT_EQ(bank.GetBandGain(3), 0.5F);
    EXPECT_EQ(first[0], tone) << "without copyBack the input stays";
    EXPECT_EQ(second[0], second[1]);
    // The chart's single band is its bass band alone.
    EXPECT_EQ(level, LevelDb(chart.data(), chart.size()));
    EXPECT_EQ(*std::max_element(chart.begin(), chart.end()), chartBanks[0].GetBandMax(0));
    EXPECT_EQ(chartBanks[0].GetBandMax(1), 0.0F);
}

}  // namespace
