#include <gtest/gtest.h>

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "core/EngineThreads.h"
#include "core/SettingsStore.h"
#include "decks/CTevEffects.h"
#include "decks/CTevEqualizer2.h"
#include "output/CTevCrossFadeCurveGraph.h"
#include "output/CTevCrossFaderCtrl.h"
#include "platform/KeyboardDevice.h"
#include "playlist/CTevEdit.h"
#include "playlist/CTevPlayList2.h"
#include "support/AppRig.h"

using namespace tev;
using tev::test::AppRig;
using tev::test::Sample;

namespace {

constexpr int kChunk = static_cast<int>(kChunkFrames);

// Keys typed into the program's windows as the platform delivers them, and the keyboard polled
// one poll at a time.
class Keys : public ::testing::Test {
  protected:
    void SetUp() override { Activate(rig.mixer); }

    static void Activate(QWidget* panel) {
        panel->show();
        panel->activateWindow();
        // Not QTest::qWaitForWindowActive: a panel counts as active while the mixer, its
        // transient parent, is.
        ASSERT_TRUE(AppRig::PumpUntil(
            [panel] { return QGuiApplication::focusWindow() == panel->windowHandle(); }));
    }
    static void Press(QWidget* panel, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyPress(panel->windowHandle(), key, modifiers);
        AppRig::Settle(0);
    }
    static void Release(QWidget* panel, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyRelease(panel->windowHandle(), key, modifiers);
        AppRig::Settle(0);
    }
    static void Click(QWidget* panel, Qt::Key key) {
        Press(panel, key);
        Release(panel, key);
    }
    // The poll thread's work for `count` periods of 15 ms.
    static void Poll(int count) {
        for (int i = 0; i < count; ++i) {
            PollKeyboard(Keyboard());
            QCoreApplication::processEvents();
        }
    }
    void Load(int d, int frames) {
        rig.MakeFile(d == 0 ? "a.wav" : "b.wav", frames, d * 1000);
        rig.Browse(d, d == 0 ? "a.wav" : "b.wav");
    }
    void Play(int d) {
        Click(rig.deck[d], d == 0 ? Qt::Key_W : Qt::Key_P);
        ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[d]->IsPlaying(); }));
    }
    // The median step between neighbouring frames of the main output's left channel over the
    // last `count` slots: +gain forward through numbered frames, -gain backward.
    double Pitch(int count) {
        const auto out = rig.PlaySlots(count);
        std::vector<double> steps;
        for (size_t f = kChunkFrames; f + 1 < out.size() / 4; ++f) {
            steps.push_back(Sample(out, f + 1, 0) - Sample(out, f, 0));
        }
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        return steps[steps.size() / 2];
    }

    // The stored mixing values at their defaults before the program starts and after it ends,
    // whatever the tests in the same process do with the keys.
    struct DefaultMix {
        DefaultMix() { Store(); }
        ~DefaultMix() { Store(); }
        static void Store() {
            Settings().SaveCrossFaderCurvePosition(0.5F);
            Settings().SaveLevelDeck(0, 0.7F);
            Settings().SaveLevelDeck(1, 0.7F);
        }
    };

    DefaultMix defaultMix_;
    AppRig rig;
};

// A polled key held down moves its value a step per poll, as far as its range goes, and the
// control follows it.
struct Held {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int polls;        // until the far end
    int slack;        // more polls a slider's rounding may take
    double from, to;  // the value before and after
    int slider;       // the control's position at the end
    std::function<double(CTevMixer&)> value;
    std::function<int(CTevMixer&)> control;
};

void PrintTo(const Held& held, std::ostream* os) {
    *os << held.name;
}

class HeldKey : public Keys, public ::testing::WithParamInterface<Held> {};

TEST_P(HeldKey, MovesItsValueAStepAPollToTheEndOfItsRangeAndTheControlFollows) {
    const Held& h = GetParam();
    CTevMixer& mixer = *rig.mixer;
    ASSERT_NEAR(h.value(mixer), h.from, 1e-4);
    Press(rig.deck[0], h.key, h.modifiers);  // typed in a deck: the mixer acts all the same
    Poll(h.polls - 1);
    EXPECT_GT(std::abs(h.value(mixer) - h.to), 1e-3) << "one poll before the end";
    Poll(1 + h.slack);
    EXPECT_NEAR(h.value(mixer), h.to, 1e-9);
    Poll(10);
    EXPECT_NEAR(h.value(mixer), h.to, 1e-9) << "stops at the end";
    EXPECT_EQ(h.control(mixer), h.slider);
    Release(rig.deck[0], h.key, h.modifiers);
    Poll(1);
    EXPECT_NEAR(h.value(mixer), h.to, 1e-9);
}

const auto kMainFader = [](CTevMixer& m) { return m.engine().mainCrossFader.Get(); };
const auto kMainFaderSlider = [](CTevMixer& m) { return m.mainCrossFader()->value(); };
const auto kMonitorFader = [](CTevMixer& m) { return m.engine().monitorCrossFader.Get(); };
const auto kMonitorFaderSlider = [](CTevMixer& m) { return m.monitorCrossFader()->value(); };

constexpr auto kNone = Qt::NoModifier;
constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kCtrl = Qt::ControlModifier;
const auto kDeckALevel = [](CTevMixer& m) { return m.engine().deckLevel[0].Get(); };
const auto kDeckBLevel = [](CTevMixer& m) { return m.engine().deckLevel[1].Get(); };
const auto kCurve = [](CTevMixer& m) { return m.engine().curveParameter.Get(); };
const auto kCurveSlider = [](CTevMixer& m) { return m.curveSlider()->value(); };
// Ctrl moves the monitor's fader and leaves the main one at -1.
const auto kMonitorFaderOnly = [](CTevMixer& m) { return kMonitorFader(m) + 1.0 + kMainFader(m); };

INSTANTIATE_TEST_SUITE_P(
    Keys, HeldKey,
    ::testing::Values(
        Held{"N", Qt::Key_N, kNone, 400, 0, -1.0, 1.0, 1000, kMainFader, kMainFaderSlider},
        Held{"ShiftN", Qt::Key_N, kShift, 20, 0, -1.0, 1.0, 1000, kMainFader, kMainFaderSlider},
        Held{"CtrlN", Qt::Key_N, kCtrl, 400, 0, -1.0, 1.0, 1000, kMonitorFaderOnly,
             kMonitorFaderSlider},
        Held{"CtrlShiftN", Qt::Key_N, kCtrl | kShift, 20, 0, -1.0, 1.0, 1000, kMonitorFader,
             kMonitorFaderSlider},
        // From the level of 0.7 down to silence, at the bottom of the slider.
        Held{"G", Qt::Key_G, kNone, 350, 1, 0.7, 0.0, CTevMixer::kLevelRange, kDeckALevel,
             [](CTevMixer& m) { return m.deckLevelSlider(0)->value(); }},
        Held{"ShiftY", Qt::Key_Y, kShift, 15, 1, 0.7, 1.0, 0, kDeckBLevel,
             [](CTevMixer& m) { return m.deckLevelSlider(1)->value(); }},
        Held{"End", Qt::Key_End, kNone, 50, 0, 0.5, 1.0, 1000, kCurve, kCurveSlider},
        Held{"ShiftHome", Qt::Key_Home, kShift, 15, 0, 0.5, -1.0, -1000, kCurve, kCurveSlider}),
    [](const auto& info) { return std::string(info.param.name); });

// The curve keys shape the cross fade: the curves are computed again and the graph shows them.
TEST_F(Keys, TheCurveKeysRecomputeTheCurvesAndTheGraphFollows) {
    SoundOutput& main = rig.mixer->mainOutput();
    const double before = main.CurvePoint(0, 49);
    Press(rig.mixer, Qt::Key_End, Qt::ShiftModifier);
    Poll(5);
    Release(rig.mixer, Qt::Key_End);
    EXPECT_NE(main.CurvePoint(0, 49), before);
    for (int i = 0; i < SoundOutput::kCurvePoints; ++i) {
        ASSERT_EQ(rig.mixer->curveGraph()->point(0, i), main.CurvePoint(0, i)) << i;
    }
}

// With the monitor on the main output's card, the monitor's level is the main one's.
TEST_F(Keys, CtrlDAndUDoNothingWhileTheMonitorSharesTheMainLevel) {
    ASSERT_FALSE(rig.mixer->monitorLevelSlider()->isEnabled());
    const double main = rig.mixer->mainLevel().Get();
    const int monitor = rig.mixer->monitorLevelSlider()->value();
    Press(rig.mixer, Qt::Key_U, Qt::ControlModifier);
    Poll(20);
    Release(rig.mixer, Qt::Key_U);
    EXPECT_EQ(rig.mixer->mainLevel().Get(), main);
    EXPECT_EQ(rig.mixer->monitorLevelSlider()->value(), monitor);
}

// Nor does the monitor's cross fader move where the monitor plays on the main speakers.
TEST_F(Keys, CtrlBAndNDoNothingWhileTheMonitorPlaysOnTheMainSpeakers) {
    rig.mixer->monitorOutput().Open(rig.card, 0, "monitor");
    rig.mixer->EnableMonitorControls();
    const double monitor = kMonitorFader(*rig.mixer);
    Press(rig.mixer, Qt::Key_N, kCtrl);
    Poll(20);
    Release(rig.mixer, Qt::Key_N);
    EXPECT_EQ(kMonitorFader(*rig.mixer), monitor);
    EXPECT_EQ(kMainFader(*rig.mixer), -1.0) << "nor the main one";
}

// The tempo keys set the deck's rate: its numbered frames go by faster, and the slider and the
// label show the tempo.
TEST_F(Keys, TheTempoKeysChangeThePitchAndTheSliderFollows) {
    Load(1, 400 * kChunk);
    Click(rig.mixer, Qt::Key_M);  // the main cross fader to Deck B
    ASSERT_EQ(rig.mixer->engine().mainCrossFader.Get(), 1.0);
    Play(1);
    const double before = Pitch(3);
    EXPECT_GT(before, 0.0);
    Press(rig.deck[1], Qt::Key_K, Qt::ShiftModifier);
    Poll(50);  // 6 slider steps a poll: 300 of 1000, 2.4 %
    Release(rig.deck[1], Qt::Key_K);
    EXPECT_NEAR(rig.deck[1]->tempo(), 2.4, 1e-9);
    EXPECT_EQ(rig.deck[1]->tempoSlider()->value(), -300);
    EXPECT_EQ(rig.deck[1]->tempoLabel()->text(), QStringLiteral("2.4%"));
    rig.PlaySlots(2);
    EXPECT_NEAR(Pitch(3) / before, 1.024, 0.002);

    Press(rig.deck[1], Qt::Key_J);
    Poll(300);  // one slider step a poll
    Release(rig.deck[1], Qt::Key_J);
    EXPECT_EQ(rig.deck[1]->tempoSlider()->value(), 0);
    EXPECT_EQ(rig.deck[0]->tempoSlider()->value(), 0) << "Deck A's tempo moved";
    rig.PlaySlots(2);
    EXPECT_NEAR(Pitch(3) / before, 1.0, 0.002);
}

// An equalizer key moves the band's slider, and the band's gain is heard.
TEST_F(Keys, TheEqualizerKeysMoveABandAndItsGainIsHeard) {
    // A tone at the centre of band 1 of 3 (118 Hz).
    std::vector<int16_t> tone;
    for (int f = 0; f < 300 * kChunk; ++f) {
        const auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 118.0 * f / 44100));
        tone.insert(tone.end(), {v, v});
    }
    test::WriteWav(rig.Path("a.wav"), 2, 16, 44100, test::Bytes(tone));
    rig.Browse(0, "a.wav");
    CTevEqualizer2& a = *rig.mixer->equalizerPanel(0);
    a.onButton()->click();
    Play(0);
    const auto rms = [&] {
        const auto out = rig.PlaySlots(4);
        double sum = 0;
        for (size_t f = 2 * kChunkFrames; f < out.size() / 4; ++f) {
            sum += Sample(out, f, 0) * Sample(out, f, 0);
        }
        return std::sqrt(sum / static_cast<double>(out.size() / 4 - 2 * kChunkFrames));
    };
    rig.PlaySlots(4);
    const double flat = rms();

    Press(rig.mixer->equalizerPanel(0), Qt::Key_Z, Qt::ShiftModifier);
    Poll(3);  // 0.05 a poll: to the bottom, 0.85
    Release(rig.mixer->equalizerPanel(0), Qt::Key_Z);
    EXPECT_EQ(a.bandSlider(0)->value(), CTevEqualizer2::kSliderBottom);
    EXPECT_NEAR(a.bandValue(0).Get(), 0.85, 1e-9);
    const double lowered = rms();
    EXPECT_LT(lowered, flat * 0.5) << "about 14 dB down at the band's centre";

    // Ctrl reaches Deck B's bands, and Deck A's stay as they are.
    Press(rig.mixer, Qt::Key_S, Qt::ControlModifier);
    Poll(10);
    Release(rig.mixer, Qt::Key_S);
    EXPECT_EQ(rig.mixer->equalizerPanel(1)->bandSlider(1)->value(), 950);
    EXPECT_EQ(a.bandSlider(1)->value(), CTevEqualizer2::kSliderFlat);
    EXPECT_NEAR(rms(), lowered, lowered * 0.05);
}

// Keys that seek, play backward and play act once per press on the deck's transport.
TEST_F(Keys, ThreeSeeksDeckAToFortyPercentAndPlaysOn) {
    Load(0, 25000);  // numbered frames that do not wrap
    Play(0);
    rig.PlaySlots(2);
    Click(rig.deck[0], Qt::Key_3);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[0]->IsPlaying(); }));
    EXPECT_NEAR(rig.deck[0]->position(), 0.4, 0.01);
    const auto out = rig.PlaySlots(2);
    // The first frame after the fade-in is from 40 % of the track.
    const double gain = AppRig::Gain(rig.mixer->engine().deckLevel[0].Get(), 98.0 / 99.0);
    const double frame = Sample(out, test::kFadeInFrames, 0) / gain;
    EXPECT_GT(frame, 10000 - 1);
    EXPECT_LT(frame, 10000 + 2 * kChunk);
}

class HeldRev : public Keys, public ::testing::WithParamInterface<int> {};

TEST_P(HeldRev, PlaysBackwardWhileHeldThroughAutoRepeatAndForwardWhenLetGo) {
    const int d = GetParam();
    const Qt::Key key = d == 0 ? Qt::Key_A : Qt::Key_L;
    rig.mixer->engine().mainCrossFader.Set(0.0);  // both decks heard
    rig.mixer->ShowMainCrossFader();
    Load(d, 400 * kChunk);
    Play(d);
    rig.PlaySlots(4);
    EXPECT_GT(Pitch(2), 0.0);

    QWindow* window = rig.deck[d]->windowHandle();
    Press(rig.deck[d], key);
    // The keyboard repeats a held key as pairs of release and press marked as repeats.
    for (int i = 0; i < 5; ++i) {
        for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent repeat(type, key, Qt::NoModifier, QString(), true);
            QCoreApplication::sendEvent(window, &repeat);
        }
        AppRig::Settle(0);
        ASSERT_TRUE(rig.deck[d]->reverseButton()->held());
    }
    ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[d]->playingBackward(); }));
    rig.PlaySlots(2);
    EXPECT_LT(Pitch(3), 0.0);
    EXPECT_TRUE(rig.deck[d]->playingBackward());

    Release(rig.deck[d], key);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return !rig.deck[d]->playingBackward(); }));
    rig.PlaySlots(2);
    EXPECT_GT(Pitch(3), 0.0);
    EXPECT_FALSE(rig.deck[d]->reverseButton()->held());
}

INSTANTIATE_TEST_SUITE_P(DeckAWithADeckBWithL, HeldRev, ::testing::Values(0, 1));

TEST_F(Keys, PlayTogglesOncePerPressHoweverLongItIsHeld) {
    Load(0, 100 * kChunk);
    QWindow* window = rig.deck[0]->windowHandle();
    Press(rig.deck[0], Qt::Key_W);
    EXPECT_TRUE(rig.deck[0]->playButton()->held()) << "drawn pressed while held";
    for (int i = 0; i < 5; ++i) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_W, Qt::NoModifier, QString(), true);
        QCoreApplication::sendEvent(window, &repeat);
    }
    Release(rig.deck[0], Qt::Key_W);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[0]->IsPlaying(); }));
    AppRig::Settle(20);
    EXPECT_TRUE(rig.deck[0]->IsPlaying());
    EXPECT_FALSE(rig.deck[0]->playButton()->held());

    // A deck without a track does not play, and its button is not drawn pressed.
    Press(rig.deck[1], Qt::Key_P);
    EXPECT_FALSE(rig.deck[1]->playButton()->held());
    Release(rig.deck[1], Qt::Key_P);
    EXPECT_FALSE(rig.deck[1]->IsPlaying());
}

// The focused control of a panel does not also take the keys keyboard control uses: a deck's
// chooser would empty the deck on "N", the effect list would choose an effect on "C".
TEST_F(Keys, KeysTypedInADeckOrEffectsPanelReachTheMixerAndNotTheFocusedControl) {
    Load(0, 100 * kChunk);
    const int chosen = rig.deck[0]->chooser()->currentIndex();
    Activate(rig.deck[0]);
    rig.deck[0]->chooser()->setFocus();
    Press(rig.deck[0], Qt::Key_N);
    Poll(20);
    Release(rig.deck[0], Qt::Key_N);
    EXPECT_EQ(rig.deck[0]->chooser()->currentIndex(), chosen);
    EXPECT_NE(rig.deck[0]->source(), CTevDeck2::kSourceNone);
    EXPECT_NEAR(rig.mixer->engine().mainCrossFader.Get(), -0.9, 1e-9);

    CTevEffects& effects = *rig.mixer->effectsPanel(0);
    Activate(&effects);
    effects.effectList()->setFocus();
    const int effect = effects.effectList()->currentIndex();
    Click(&effects, Qt::Key_C);
    Click(&effects, Qt::Key_M);
    EXPECT_EQ(effects.effectList()->currentIndex(), effect);
    EXPECT_EQ(rig.mixer->engine().mainCrossFader.Get(), 1.0);
}

// While the play list is the active window its search field has the keys, and nothing acts;
// leaving it lets go of a key held before, and the keys work again in another panel.
TEST_F(Keys, NothingActsWhileThePlayListIsActiveAndLeavingPanelsLetsGoOfHeldKeys) {
    Load(0, 400 * kChunk);
    Play(0);
    rig.PlaySlots(2);
    Press(rig.deck[0], Qt::Key_A);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[0]->playingBackward(); }));

    CTevPlayList2& list = *rig.mixer->playList();
    Activate(&list);
    EXPECT_EQ(Keyboard().PollKeys(), "") << "a key still held";
    ASSERT_TRUE(AppRig::PumpUntil([&] { return !rig.deck[0]->playingBackward(); }));
    EXPECT_FALSE(rig.deck[0]->reverseButton()->held());

    list.findChild<CTevEdit*>()->setFocus();
    for (const char c : {'n', 'm', '3'}) {
        QTest::keyClick(list.windowHandle(), c);
    }
    Press(&list, Qt::Key_N);
    Poll(10);
    Release(&list, Qt::Key_N);
    EXPECT_EQ(list.findChild<CTevEdit*>()->text(), QStringLiteral("nm3n"));
    EXPECT_EQ(rig.mixer->engine().mainCrossFader.Get(), -1.0);
    EXPECT_TRUE(rig.deck[0]->IsPlaying());
    EXPECT_LT(rig.deck[0]->position(), 0.2) << "3 sought";

    Activate(rig.deck[1]);
    Click(rig.deck[1], Qt::Key_M);
    EXPECT_EQ(rig.mixer->engine().mainCrossFader.Get(), 1.0);
}

}  // namespace
