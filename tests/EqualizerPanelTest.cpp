#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <vector>

#include "controls/CTevButtonCtrl.h"
#include "core/QtMessagePump.h"
#include "decks/CTevEffects.h"
#include "decks/CTevEqualizer2.h"
#include "support/AppRig.h"
#include "thread/TestRig.h"

using namespace tev;
using Message = test::Received;

namespace {

constexpr int kBands = CTevEqualizer2::kMaxBands;

// Deck B's panel, made once a recorder stands in for the mixer. The band sets outlive every
// panel: each test starts them flat.
class EqualizerPanel : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {
  protected:
    EqualizerPanel() {
        for (FilterBank& bank : equalizerBanks) {
            bank.Design(kBands);
            for (int b = 0; b < kBands; ++b) {
                bank.SetBandGain(b, 1.0F);
            }
        }
        panel = std::make_unique<CTevEqualizer2>();
        panel->SetDeck(1);
    }
    std::vector<float> Curve(int band) const {
        const float* r = panel->graph()->response(band);
        return {r, r + FilterBank::kResponsePoints};
    }

    std::unique_ptr<CTevEqualizer2> panel;
};

class EqualizerBandChoice : public EqualizerPanel, public ::testing::WithParamInterface<int> {};

TEST_P(EqualizerBandChoice, OnlyTheChosenBandsAreEnabledAndNamedByTheirCentres) {
    const QStringList centres[] = {{"375 Hz", "12000 Hz"},
                                   {"118 Hz", "1191 Hz", "12000 Hz"},
                                   {"47 Hz", "188 Hz", "750 Hz", "3000 Hz", "12000 Hz"}};
    const int count = static_cast<int>(centres[GetParam()].size());
    panel->bandCountButton(count == 5 ? 0 : 2)->click();  // from the other extreme
    panel->bandCountButton(GetParam())->click();
    EXPECT_EQ(equalizerBanks[1].GetNumBands(), count);
    EXPECT_EQ(panel->graph()->bandCount(), count);
    for (int b = 0; b < kBands; ++b) {
        const bool used = b < count;
        EXPECT_EQ(panel->centreLabel(b)->text(), used ? centres[GetParam()][b] : QString()) << b;
        EXPECT_EQ(panel->centreLabel(b)->isEnabled(), used) << b;
        EXPECT_EQ(panel->bandSlider(b)->isEnabled(), used) << b;
        EXPECT_EQ(panel->bandBox(b)->isEnabled(), used) << b;
    }
    EXPECT_TRUE(mixer.Take().empty()) << "the equalizer is off";
}

INSTANTIATE_TEST_SUITE_P(TwoThreeFive, EqualizerBandChoice, ::testing::Values(0, 1, 2));

TEST_F(EqualizerPanel, ASliderSetsItsBandsGainBeforeTheMixerIsToldAndRedrawsOnlyItsCurve) {
    float gainTold = 0.0F;
    mixer.onMessage = [&gainTold](uint32_t, WPARAM deck, LPARAM band) {
        gainTold = equalizerBanks[deck].GetBandGain(static_cast<int>(band));
        return LRESULT{0};
    };
    const float* axis = panel->frequencyAxis();
    for (int band = 0; band < panel->bandCount(); ++band) {
        // The point nearest the band's centre, where the band passes at unity.
        const double centre = equalizerBanks[1].GetCenterFrequency(band);
        const auto at = std::min_element(axis, axis + FilterBank::kResponsePoints,
                                         [centre](float a, float b) {
                                             return std::abs(a - centre) < std::abs(b - centre);
                                         }) -
                        axis;
        std::vector<std::vector<float>> plain;
        for (int b = 0; b < kBands; ++b) {
            plain.push_back(Curve(b));
        }
        // The top lifts the pass band by about 14.4 dB, the bottom lowers it as much.
        for (const auto& [position, gain, lift] :
             {std::tuple{850, 1.15F, 14.4}, std::tuple{1150, 0.85F, -14.4},
              std::tuple{1000, 1.0F, 0.0}}) {
            panel->bandSlider(band)->setValue(position);
            EXPECT_EQ(mixer.Take(),
                      (std::vector<Message>{{WM_SET_EQUALIZER_BAND, 1, LPARAM(band)}}));
            EXPECT_FLOAT_EQ(gainTold, gain) << position;
            EXPECT_FLOAT_EQ(static_cast<float>(panel->bandValue(band).Get()), gain);
            EXPECT_NEAR(Curve(band)[at] - plain[band][at], lift, 0.5) << position;
            for (int b = 0; b < kBands; ++b) {
                EXPECT_TRUE(b == band || Curve(b) == plain[b]) << "band " << b << " redrawn";
            }
        }
        EXPECT_EQ(Curve(band), plain[band]) << "the middle is the plain response again";
    }
}

TEST_F(EqualizerPanel, OnAppliesTheBandSetAgainAtEveryLayoutAndOffDisablesIt) {
    EXPECT_TRUE(mixer.Take().empty()) << "creation tells the mixer nothing";
    CTevButtonCtrl& on = *panel->onButton();
    on.click();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_APPLY_EQUALIZER, 1, 0}}));
    EXPECT_EQ(on.text(), QStringLiteral("Off"));
    EXPECT_EQ(on.ImageFileName(), QStringLiteral("powerOn.png"));
    panel->bandCountButton(2)->click();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_APPLY_EQUALIZER, 1, 0}}));
    EXPECT_EQ(equalizerBanks[1].GetNumBands(), 5);

    // Enter neither presses the button nor closes the panel.
    panel->show();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(panel.get(), &enter);
    EXPECT_TRUE(panel->equalizerOn());
    EXPECT_TRUE(panel->isVisible());

    on.click();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_DISABLE_EQUALIZER, 1, 0}}));
    EXPECT_EQ(on.text(), QStringLiteral("On"));
    EXPECT_EQ(on.ImageFileName(), QStringLiteral("powerOff.png"));
    panel->bandCountButton(0)->click();
    EXPECT_TRUE(mixer.Take().empty());
}

TEST(EqualizerGraph, EachBandIsDrawnInItsColourAtItsLevelOnBlack) {
    CTevEqualizerGraph graph;
    graph.resize(640, 80);  // a pixel a point, two pixels a decibel
    // Flat at +15.25, +5.25, -4.75, -14.75 and +0.25 dB: through rows 9, 29, 49, 69 and 39.
    const float levels[] = {15.25F, 5.25F, -4.75F, -14.75F, 0.25F};
    const int rows[] = {9, 29, 49, 69, 39};
    for (int b = 0; b < kBands; ++b) {
        std::fill_n(graph.response(b), CTevEqualizerGraph::kPoints, levels[b]);
    }
    graph.SetBandCount(4);
    const QImage four = graph.grab().toImage();
    graph.SetBandCount(5);
    const QImage five = graph.grab().toImage();
    const auto distance = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
               std::abs(qBlue(a) - qBlue(b));
    };
    for (int b = 0; b < kBands; ++b) {
        for (const int x : {2, 320, 636}) {
            EXPECT_LT(distance(five.pixel(x, rows[b]), CTevEqualizerGraph::kBandColours[b]), 40)
                << "band " << b + 1 << " at " << x;
            EXPECT_EQ(four.pixel(x, rows[b]), b == 4 ? qRgb(0, 0, 0) : five.pixel(x, rows[b]));
        }
    }
    for (const int row : {0, 19, 34, 44, 59, 79}) {
        EXPECT_EQ(five.pixel(320, row), qRgb(0, 0, 0)) << "row " << row;
    }
}

}  // namespace
