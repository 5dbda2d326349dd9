#include <gtest/gtest.h>

#include <QImage>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cmath>

#include "analysis/CTevAnalyzer.h"
#include "analysis/CTevAnalyzerGraph.h"
#include "controls/CTevButtonCtrl.h"
#include "core/QtMessagePump.h"
#include "decks/CTevCircularChartGraph.h"
#include "support/AppRig.h"
#include "thread/TestRig.h"

using namespace tev;
using tev::test::AppRig;

namespace {

constexpr uint32_t kRed = 0x0000FF;  // 0x00BBGGRR
constexpr uint32_t kBlue = 0xFF0000;

// Fresh tables (a new analysis clears them) and known deck colours, put back afterwards.
class AnalyzerDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        colorDeckA = kRed;
        colorDeckB = kBlue;
    }
    void TearDown() override {
        colorDeckA = savedA_;
        colorDeckB = savedB_;
    }

    QImage Draw(int graphType, int selection, int w, int h) {
        graph_.SetGraphType(graphType);
        graph_.SetDeckSelection(selection);
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);  // nothing of it may be left
        graph_.Draw(image);
        return image;
    }

    CTevAnalyzerGraph graph_;

  private:
    uint32_t savedA_ = colorDeckA;
    uint32_t savedB_ = colorDeckB;
};

bool IsBlack(QRgb pixel) {
    return qRed(pixel) == 0 && qGreen(pixel) == 0 && qBlue(pixel) == 0;
}

}  // namespace

TEST_F(AnalyzerDrawing, SplitChartHasDeckAAroundAQuarterOfTheHeightAndDeckBAroundThreeQuarters) {
    std::fill(std::begin(chartMax[0]), std::end(chartMax[0]), 16384.0F);  // half scale
    std::fill(std::begin(chartMin[0]), std::end(chartMin[0]), -16384.0F);
    const QImage image = Draw(CTevAnalyzerGraph::kChart, CTevAnalyzerGraph::kSplit, 500, 200);
    // Deck A's picture reaches half of its quarter-height scale either side of y = 50, in red
    // darkened by the half-scale maximum; deck B's silent picture leaves its half black.
    constexpr int x = 100;
    for (const int y : {27, 45, 55, 73}) {
        EXPECT_EQ(image.pixel(x, y), qRgb(127, 0, 0)) << "y " << y;
    }
    for (const int y : {0, 22, 78, 100, 140, 160, 199}) {
        EXPECT_TRUE(IsBlack(image.pixel(x, y))) << "y " << y;
    }
    // Guide lines at both baselines and down the middle, drawn over the picture.
    for (const QPoint guide : {QPoint(x, 50), QPoint(x, 150), QPoint(250, 60), QPoint(250, 190)}) {
        EXPECT_EQ(image.pixel(guide), qRgb(50, 205, 50)) << guide.x() << "," << guide.y();
    }
}

TEST_F(AnalyzerDrawing, OctaveBarOfFullScaleFillsTheHeightAndANegativeLevelDrawsNothing) {
    octaveLevels[0][0] = 96.33;
    octaveLevels[0][1] = -5.0;
    octaveLevels[1][0] = 48.0;
    const QImage single = Draw(CTevAnalyzerGraph::kOctave, CTevAnalyzerGraph::kDeckA, 400, 120);
    // Bar 0 (x 0 ... 40): deck colour at the top, silver at the bottom.
    EXPECT_GT(qRed(single.pixel(20, 1)), 240);
    EXPECT_LT(qGreen(single.pixel(20, 1)), 15);
    EXPECT_NEAR(qGreen(single.pixel(20, 118)), 192, 6);
    EXPECT_NEAR(qRed(single.pixel(20, 118)), 192, 6);
    for (int y = 0; y < 120; ++y) {
        ASSERT_TRUE(IsBlack(single.pixel(60, y))) << "bar 1 at y " << y;
    }
    // Split: deck B's bars start in the middle, half as wide, its first half as high.
    const QImage split = Draw(CTevAnalyzerGraph::kOctave, CTevAnalyzerGraph::kSplit, 400, 120);
    EXPECT_GT(qBlue(split.pixel(210, 100)), 150);
    EXPECT_TRUE(IsBlack(split.pixel(210, 50)));
    EXPECT_TRUE(IsBlack(split.pixel(230, 100))) << "bar 0 of B ends at x 220";
    EXPECT_GT(qRed(split.pixel(10, 100)), 150);
}

TEST_F(AnalyzerDrawing, ScopeFramesASingleDeckButNotTheOverlaidPair) {
    std::fill(std::begin(scopeTrace[0]), std::end(scopeTrace[0]), 16384.0);
    const QImage single = Draw(CTevAnalyzerGraph::kScope, CTevAnalyzerGraph::kDeckA, 400, 120);
    EXPECT_EQ(single.pixel(0, 100), qRgb(255, 0, 0)) << "the frame";
    EXPECT_GT(qRed(single.pixel(200, 30)), 100) << "the trace at half scale";
    const QImage both = Draw(CTevAnalyzerGraph::kScope, CTevAnalyzerGraph::kBoth, 400, 120);
    EXPECT_TRUE(IsBlack(both.pixel(0, 100)));
    EXPECT_EQ(both.pixel(200, 60), qRgb(0, 0, 255)) << "deck B's silent trace, over A's";
    bool traced = false;  // the trace at y 30, wherever its rounding puts it
    for (int y = 28; y <= 32; ++y) {
        traced = traced || both.pixel(200, y) == qRgb(255, 0, 0);
    }
    EXPECT_TRUE(traced);
}

TEST_F(AnalyzerDrawing, SilentChartLeavesTheDiscBlackWithItsGreyBaseCircle) {
    CTevCircularChartGraph chart;
    chart.SetDeck(0);
    QImage image(151, 151, QImage::Format_ARGB32_Premultiplied);
    chart.Draw(image);
    int coloured = 0;
    for (int y = 0; y < 151; ++y) {
        for (int x = 0; x < 151; ++x) {
            const QRgb p = image.pixel(x, y);
            coloured += qRed(p) > qGreen(p) + 40 ? 1 : 0;
        }
    }
    EXPECT_EQ(coloured, 0) << "no sector shows the deck's colour";
    // The base circle (radius w/3) at twelve o'clock is grey; between it and the rim, black.
    // The line is smoothed across the rows it straddles: what they hold adds up to its grey.
    int grey = 0;
    for (int y = 23; y <= 27; ++y) {
        grey += qRed(image.pixel(75, y));
        EXPECT_EQ(qRed(image.pixel(75, y)), qGreen(image.pixel(75, y)));
    }
    EXPECT_NEAR(grey, 128, 20);
    EXPECT_TRUE(IsBlack(image.pixel(75, 12)));

    // Full-scale maxima fill the outer ring out to the rim in the deck's colour.
    std::fill(std::begin(chartMax[0]), std::end(chartMax[0]), 32767.0F);
    chart.Draw(image);
    EXPECT_EQ(image.pixel(75, 12), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(20, 75), qRgb(255, 0, 0));
}

TEST(AnalyzerPanel, RadiosChooseTheGraphAndItsAnalysisAndTheOnButtonShowsIt) {
    CTevAnalyzer panel;
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("Analyzer"));
    CTevAnalyzerGraph& graph = *panel.graph();
    EXPECT_TRUE(panel.graphTypeRadio(0)->isChecked());
    EXPECT_TRUE(panel.deckRadio(0)->isChecked());
    EXPECT_EQ(graph.graphType(), CTevAnalyzerGraph::kScope);

    QTest::mouseClick(panel.graphTypeRadio(1), Qt::LeftButton);  // Octave
    EXPECT_EQ(graph.graphType(), CTevAnalyzerGraph::kOctave);
    EXPECT_TRUE(graph.analysis().octaveEnabled());
    EXPECT_FALSE(graph.analysis().scopeEnabled());
    QTest::mouseClick(panel.deckRadio(3), Qt::LeftButton);  // Split
    EXPECT_EQ(graph.deckSelection(), CTevAnalyzerGraph::kSplit);

    // On: the look and text "On", the checked graph's analysis on; off: "Off", none.
    QTest::mouseClick(panel.onButton(), Qt::LeftButton);
    EXPECT_TRUE(panel.isOn());
    EXPECT_EQ(panel.onButton()->text(), QStringLiteral("On"));
    EXPECT_TRUE(graph.analysis().octaveEnabled());
    QTest::mouseClick(panel.onButton(), Qt::LeftButton);
    EXPECT_EQ(panel.onButton()->text(), QStringLiteral("Off"));
    EXPECT_FALSE(graph.analysis().octaveEnabled());
    QTest::mouseClick(panel.graphTypeRadio(2), Qt::LeftButton);  // Chart
    EXPECT_EQ(graph.graphType(), CTevAnalyzerGraph::kChart);
    EXPECT_FALSE(graph.analysis().octaveEnabled());
    EXPECT_FALSE(graph.analysis().scopeEnabled());

    // Closing tells the mixer which panel closed.
    test::RecorderRig<QtMessagePump> rig;
    panel.show();
    panel.close();
    EXPECT_EQ(rig.mixer.Take(), (std::vector<test::Received>{{WM_PANEL_CLOSED, 0, 131}}));
}

TEST(AnalyzerPanel, TheMixersAnalyzerShowsBothPlayingDecks) {
    AppRig rig;
    auto* analyzer = dynamic_cast<CTevAnalyzer*>(rig.mixer->analyzerPanel());
    ASSERT_NE(analyzer, nullptr);
    EXPECT_LE(analyzer->height(), 190) << "it must not cover the equalizers";
    QTest::mouseClick(analyzer->graphTypeRadio(1), Qt::LeftButton);  // Octave
    QTest::mouseClick(analyzer->onButton(), Qt::LeftButton);
    ASSERT_TRUE(analyzer->graph()->analysis().octaveEnabled());

    rig.MakeFile("a.wav", 300 * static_cast<int>(kChunkFrames), 0);
    // Deck B plays a 1 kHz tone, the same on both channels, unheard at the fader's A end.
    std::vector<int16_t> b(300 * kChunkFrames * 2);
    for (size_t f = 0; f < b.size() / 2; ++f) {
        b[2 * f] = b[2 * f + 1] = static_cast<int16_t>(8000 * std::sin(f * 2 * M_PI / 44.1));
    }
    test::WriteWav(rig.Path("b.wav"), 2, 16, 44100, test::Bytes(b));
    rig.Browse(0, "a.wav");
    rig.Browse(1, "b.wav");
    ASSERT_TRUE(rig.Play({0, 1}));
    const int turned[kDeckCount] = {chartIndex[0], chartIndex[1]};
    rig.PlaySlots(30);
    // Both charts turned a sector per chunk heard; Deck B's octaves show its tone.
    EXPECT_EQ(chartIndex[0], (turned[0] + 30) % kChartEntries);
    EXPECT_EQ(chartIndex[1], (turned[1] + 30) % kChartEntries);
    EXPECT_EQ(std::max_element(octaveLevels[1], octaveLevels[1] + kOctaveBands) - octaveLevels[1],
              5);
}
