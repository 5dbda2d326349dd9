#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QStringList>
#include <memory>
#include <ostream>
#include <string>
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

// The user picks an effect from the list.
void Choose(CTevEffects& panel, const QString& name) {
    QComboBox* list = panel.effectList();
    const int index = list->findText(name);
    ASSERT_GE(index, 0) << name.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

QStringList Captions(const CTevEffects& panel) {
    return {panel.parameterBox(0)->title(), panel.parameterBox(1)->title()};
}

QStringList Labels(const CTevEffects& panel) {
    return {panel.valueLabel(0)->text(), panel.valueLabel(1)->text()};
}

// Deck B's panel, with recorders as the mixer and the main window; the main window's stand-in
// carries out the control updates the panel asks for.
class EffectsPanel : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {
  protected:
    EffectsPanel() {
        mainWindow.onMessage = [this](uint32_t msg, WPARAM deck, LPARAM i) {
            EXPECT_EQ(deck, 1U);
            if (msg == WM_SHOW_EFFECT_CAPTIONS) {
                panel->ShowParameterNames();
            } else if (msg == WM_SHOW_EFFECT_VALUE) {
                panel->ShowValueText(static_cast<int>(i));
            } else if (msg == WM_SYNC_EFFECT_SLIDER) {
                panel->ShowSliderPosition(static_cast<int>(i));
            } else {
                ADD_FAILURE() << "WM_APP+" << msg - WM_APP;
            }
            return LRESULT{0};
        };
        // What the mixer reads when it handles each message.
        mixer.onMessage = [this](uint32_t msg, WPARAM deck, LPARAM i) {
            if (msg == WM_SET_EFFECT) {
                namesRead.push_back(panel->GetEffectName());
                builtWith.emplace_back(effectParameter[deck][0], effectParameter[deck][1]);
            } else if (msg == WM_SET_EFFECT_PARAMETER) {
                valuesRead.push_back(effectParameter[deck][i]);
            }
            return LRESULT{0};
        };
        panel->SetDeck(1);
    }
    // Chooses, then lets the main window carry out what the panel asked for.
    void ChooseAndSettle(const QString& name) {
        Choose(*panel, name);
        test::AppRig::Settle();
    }
    void MoveSlider(int i, int position) {
        panel->slider(i)->setValue(position);
        test::AppRig::Settle();
    }

    std::unique_ptr<CTevEffects> panel = std::make_unique<CTevEffects>();
    std::vector<QString> namesRead;
    std::vector<float> valuesRead;
    std::vector<std::pair<float, float>> builtWith;  // the values an effect is built from
};

TEST_F(EffectsPanel, TheMixerHearsOnlyWhileTheEffectIsOnAndFindsNameAndValueInPlace) {
    ChooseAndSettle(QStringLiteral("Chorus"));
    EXPECT_TRUE(mixer.Take().empty()) << "the effect is off";
    EXPECT_FLOAT_EQ(effectParameter[1][1], 1.1F) << "shared even while off";
    EXPECT_EQ(effectParameter[0][1], 0.0F) << "Deck A's untouched";

    CTevButtonCtrl& on = *panel->onButton();
    on.click();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_SET_EFFECT, 1, 0}}));
    EXPECT_EQ(on.text(), QStringLiteral("Off"));
    EXPECT_EQ(on.ImageFileName(), QStringLiteral("powerOn.png"));

    // While on, a new effect switches the outputs at once; its values follow as the sliders move.
    Choose(*panel, QStringLiteral("Flanger"));
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_SET_EFFECT, 1, 0}}));
    test::AppRig::Settle();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_SET_EFFECT_PARAMETER, 1, 0},
                                                  {WM_SET_EFFECT_PARAMETER, 1, 1}}));
    MoveSlider(1, 0);
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_SET_EFFECT_PARAMETER, 1, 1}}));
    EXPECT_EQ(panel->valueLabel(1)->text(), QStringLiteral("4.0 ms"));
    EXPECT_EQ(namesRead, (std::vector<QString>{"Chorus", "Flanger"}));
    // Each effect is built from its own starting values, not the last effect's.
    ASSERT_EQ(builtWith.size(), 2U);
    EXPECT_EQ(builtWith[1], std::make_pair(-50.0F, 2.0F));
    // The feedback -50 lies between two slider steps: the slider holds the one below it.
    ASSERT_EQ(valuesRead.size(), 3U);
    EXPECT_FLOAT_EQ(valuesRead[0], -50.094F);
    EXPECT_FLOAT_EQ(valuesRead[1], 2.0F);
    EXPECT_FLOAT_EQ(valuesRead[2], 4.0F);

    on.click();
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_CLEAR_EFFECT, 1, 0}}));
    EXPECT_EQ(on.text(), QStringLiteral("On"));
    MoveSlider(0, 0);
    EXPECT_TRUE(mixer.Take().empty());
    EXPECT_FLOAT_EQ(effectParameter[1][0], 99.0F);
}

TEST_F(EffectsPanel, NoEffectShowsDashesAndNeverAsksForAParameter) {
    EXPECT_EQ(Captions(*panel), (QStringList{"--", "--"})) << "from the start";
    EXPECT_EQ(Labels(*panel), (QStringList{"--", "--"}));
    ChooseAndSettle(QStringLiteral("Echo"));
    panel->onButton()->click();
    mixer.Take();
    ChooseAndSettle(QStringLiteral("No Effect"));
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_SET_EFFECT, 1, 0}}));
    EXPECT_EQ(namesRead.back(), QStringLiteral("No Effect"));
    EXPECT_EQ(Captions(*panel), (QStringList{"--", "--"}));
    EXPECT_EQ(Labels(*panel), (QStringList{"--", "--"}));
    // Each parameter sits at the least value of the range it had.
    EXPECT_EQ(panel->slider(0)->value(), CTevEffects::kSliderRange);
    EXPECT_EQ(effectParameter[1][1], 1.0F);

    MoveSlider(1, 0);
    EXPECT_TRUE(mixer.Take().empty());
    EXPECT_EQ(panel->valueLabel(1)->text(), QStringLiteral("--"));
}

// Choosing each effect: its parameters' names, the texts of the values it starts from, and what
// the labels show once each slider has taken the value of its step at or below that.
struct Initial {
    const char* effect;
    QStringList captions;
    QStringList initialTexts;
    QStringList shown;
};

class EffectChoice : public EffectsPanel, public ::testing::WithParamInterface<Initial> {};

TEST_P(EffectChoice, ShowsTheNamesAndEachValueInItsOwnUnit) {
    const Initial& c = GetParam();
    Choose(*panel, QString::fromLatin1(c.effect));
    const QStringList initialTexts = {
        CTevEffects::ValueText(panel->GetEffectName(), 0, panel->parameter(0).Get()),
        CTevEffects::ValueText(panel->GetEffectName(), 1, panel->parameter(1).Get())};
    EXPECT_EQ(initialTexts, c.initialTexts);
    test::AppRig::Settle();
    EXPECT_EQ(Captions(*panel), c.captions);
    EXPECT_EQ(Labels(*panel), c.shown);
    EXPECT_TRUE(panel->parameter(0).enabled() && panel->parameter(1).enabled());
}

INSTANTIATE_TEST_SUITE_P(
    Seven, EffectChoice,
    ::testing::Values(
        Initial{"Chorus", {"feedback", "frequency"}, {"25.0%", "1.1 Hz"}, {"24.9%", "1.1 Hz"}},
        Initial{"Compressor", {"gain", "attack"}, {"0.0 dB", "10.0 ms"}, {"0.0 dB", "9.5 ms"}},
        Initial{"Distortion", {"gain", "edge"}, {"-18.0 dB", "15.0%"}, {"-18.0 dB", "15.0%"}},
        Initial{"Echo", {"feedback", "delay"}, {"50.0%", "500.0 ms"}, {"50.0%", "498.8 ms"}},
        Initial{"Flanger", {"feedback", "delay"}, {"-50.0%", "2.0 ms"}, {"-50.1%", "2.0 ms"}},
        Initial{"Gargle", {"rate", "wave"}, {"20.0 Hz", "square"}, {"19.0 Hz", "square"}},
        Initial{"Reverb", {"length", "high freq %"}, {"1.0s", "0.001"}, {"1.0s", "0.001"}}),
    [](const auto& info) { return std::string(info.param.effect); });

// The ends of the sliders and the edges where a text changes: the value shared with the mixer
// and the text shown.
struct Position {
    const char* effect;
    int parameter;
    int position;
    float value;
    const char* text;
};

void PrintTo(const Position& c, std::ostream* os) {
    *os << c.effect << " parameter " << c.parameter << " at " << c.position;
}

class SliderPosition : public EffectsPanel, public ::testing::WithParamInterface<Position> {};

TEST_P(SliderPosition, SharesTheValueAndShowsIt) {
    const Position& c = GetParam();
    ChooseAndSettle(QString::fromLatin1(c.effect));
    MoveSlider(c.parameter, c.position);
    EXPECT_FLOAT_EQ(effectParameter[1][c.parameter], c.value);
    EXPECT_EQ(panel->valueLabel(c.parameter)->text(), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    EndsAndEdges, SliderPosition,
    ::testing::Values(
        Position{"Chorus", 0, 0, 99.0F, "99.0%"}, Position{"Chorus", 0, 1000, -99.0F, "-99.0%"},
        Position{"Compressor", 1, 1000, 0.01F, "0.0 ms"},
        Position{"Distortion", 0, 1, -0.06F, "0.0 dB"},  // truncated to nothing: not "-0.0 dB"
        Position{"Echo", 1, 0, 2000.0F, "2000.0 ms"}, Position{"Gargle", 0, 1000, 1.0F, "1.0 Hz"},
        Position{"Gargle", 1, 500, 1.0F, "triangle"}, Position{"Gargle", 1, 501, 0.998F, "square"},
        Position{"Reverb", 0, 0, 3000.0F, "3.0s"}, Position{"Reverb", 0, 1000, 0.001F, "0.0s"},
        Position{"Reverb", 1, 0, 0.999F, "0.999"}, Position{"Reverb", 1, 1000, 0.001F, "0.001"}));

// Each deck's equalizer sits under it flush with its outer edge, its effects beside that; the
// real main window carries out what a chosen effect asks for, and the mixer builds that effect.
TEST(EffectsPanels, TheMainWindowShowsEachDecksPanelsUnderItAndTheChosenEffect) {
    test::AppRig rig;
    for (int d = 0; d < kDeckCount; ++d) {
        const CTevEffects& panel = *rig.mixer->effectsPanel(d);
        const CTevEqualizer2& equalizer = *rig.mixer->equalizerPanel(d);
        EXPECT_EQ(panel.windowTitle(),
                  d == 0 ? QStringLiteral("Deck A Effects") : QStringLiteral("Deck B Effects"));
        EXPECT_EQ(equalizer.windowTitle(),
                  d == 0 ? QStringLiteral("Deck A Equalizer") : QStringLiteral("Deck B Equalizer"));
        const QRect deck = rig.deck[d]->frameGeometry();
        const QRect fx = panel.frameGeometry();
        const QRect eq = equalizer.frameGeometry();
        EXPECT_EQ(eq.top(), deck.bottom() + 1);
        EXPECT_EQ(d == 0 ? eq.left() : eq.right(), d == 0 ? deck.left() : deck.right());
        EXPECT_EQ(fx.top(), deck.bottom() + 1);
        EXPECT_EQ(fx.height(), eq.height());
        EXPECT_EQ(d == 0 ? fx.left() : fx.right() + 1, d == 0 ? eq.right() + 1 : eq.left());
        for (int b = 0; b < equalizer.bandCount(); ++b) {
            EXPECT_GE(equalizer.centreLabel(b)->width(),
                      equalizer.centreLabel(b)->sizeHint().width())
                << "a centre cut short";
        }
    }
    CTevEffects& panel = *rig.mixer->effectsPanel(0);
    Choose(panel, QStringLiteral("Echo"));
    test::AppRig::Settle(20);
    EXPECT_EQ(Captions(panel), (QStringList{"feedback", "delay"}));
    EXPECT_EQ(Labels(panel), (QStringList{"50.0%", "498.8 ms"}));
    EXPECT_EQ(Captions(*rig.mixer->effectsPanel(1)), (QStringList{"--", "--"}));
    EXPECT_EQ(rig.mixer->EffectName(0), "Echo");

    // A parameter index the panel does not have changes nothing.
    PostAppMessage(hMainWnd, WM_SHOW_EFFECT_VALUE, 0, 2);
    PostAppMessage(hMainWnd, WM_SYNC_EFFECT_SLIDER, 0, -1);
    test::AppRig::Settle();
    EXPECT_EQ(Labels(panel), (QStringList{"50.0%", "498.8 ms"}));
}

}  // namespace
