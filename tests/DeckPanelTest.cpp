#include <gtest/gtest.h>

#include <filesystem>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "core/SettingsStore.h"
#include "decks/CTevCircularChartGraph.h"
#include "decks/CTevSliderCtrl.h"
#include "decks/CTevTrackNameIndicator.h"
#include "input/CdReader.h"
#include "output/CTevCrossFadeCurveGraph.h"
#include "output/CTevCrossFaderCtrl.h"
#include "support/AppRig.h"

using namespace tev;
using tev::test::AppRig;

TEST(DeckPanel, TimesAndTemposAreShownAsTheDjReadsThem) {
    EXPECT_EQ(CTevDeck2::FormatTime(3725), QStringLiteral("01:02:05"));
    EXPECT_EQ(CTevDeck2::FormatTime(360000), QStringLiteral("100:00:00"));
    EXPECT_EQ(CTevDeck2::FormatTime(59.99), QStringLiteral("00:00:59"));
    EXPECT_EQ(CTevDeck2::FormatTime(-2.5), QStringLiteral("00:00:00"));

    EXPECT_EQ(CTevDeck2::TempoText(-0.3), QStringLiteral("-0.3%"));
    EXPECT_EQ(CTevDeck2::TempoText(0.0), QStringLiteral("0.0%"));
    EXPECT_EQ(CTevDeck2::TempoText(73.0), QStringLiteral("50.0%"));
    EXPECT_EQ(CTevDeck2::TempoText(-51.0), QStringLiteral("-50.0%"));
}

TEST(DeckPanel, AFreshDeckIsEmptyAndPlayDoesNothing) {
    AppRig rig;
    for (CTevDeck2* deck : rig.deck) {
        EXPECT_EQ(deck->chooser()->currentText(), QStringLiteral("Nothing Loaded"));
        EXPECT_EQ(deck->chooser()->count(), 2 + Cd().DriveCount()) << "and the CD drives";
        EXPECT_FALSE(deck->playButton()->isEnabled());
        EXPECT_FALSE(deck->reverseButton()->isEnabled());
        deck->PlayPause(false);
        AppRig::Settle(20);
        EXPECT_FALSE(deck->IsPlaying());
    }
}

TEST(DeckPanel, AFileThatIsNoSoundIsRefusedAndTheDeckStaysEmpty) {
    AppRig rig;
    rig.MakeFile("good.wav", 200 * static_cast<int>(kChunkFrames), 0);
    { std::ofstream(rig.Path("notes.mp3")) << "not a sound"; }
    // Text under a sound file's name, and a WAV whose header claims gigabytes of tags.
    for (const std::string& bad : {rig.Path("notes.mp3"), test::Fixture("huge-list.wav")}) {
        rig.Browse(0, "good.wav");
        QString told;
        rig.deck[0]->SetMessageSink([&told](const QString& text) { told = text; });
        rig.deck[0]->SetFileChooser([&bad] { return QStringList{QString::fromStdString(bad)}; });
        rig.deck[0]->chooser()->setCurrentIndex(1);
        emit rig.deck[0]->chooser()->activated(1);
        AppRig::Settle(20);
        EXPECT_TRUE(told.startsWith(QStringLiteral("File Not Recognized: ")) &&
                    told.endsWith(QStringLiteral(" is not a sound file TevAudio can play")))
            << told.toStdString();
        EXPECT_EQ(rig.deck[0]->lengthLabel()->text(), QStringLiteral("00:00:00"));
        EXPECT_TRUE(rig.deck[0]->nowPlaying()->DisplayedText().isEmpty());
        EXPECT_EQ(rig.deck[0]->chooser()->currentIndex(), 0);
        EXPECT_EQ(rig.deck[0]->source(), CTevDeck2::kSourceNone);
        EXPECT_FALSE(rig.deck[0]->playButton()->isEnabled());
    }
    EXPECT_FALSE(rig.deck[0]->LoadFile(rig.Path("missing.wav")));

    // A cancelled dialog keeps what was chosen before.
    rig.Browse(1, "good.wav");
    rig.deck[1]->SetFileChooser([] { return QStringList{}; });
    rig.deck[1]->chooser()->setCurrentIndex(1);
    emit rig.deck[1]->chooser()->activated(1);
    AppRig::Settle(20);
    EXPECT_EQ(rig.deck[1]->chooser()->currentText(), QStringLiteral("good.wav"));
    EXPECT_TRUE(rig.deck[1]->playButton()->isEnabled());
}

// The chooser is two dozen characters wide: it names the file, not the start of its folders, and
// keeps both ends of a long name; the whole path is its tool tip.
TEST(DeckPanel, TheChooserNamesTheFileShortenedInTheMiddleWithItsPathAsTheTip) {
    AppRig rig;
    const QString longName = QStringLiteral(
        "2026-12-07 Live at the Warehouse - Extended Club Mix (Remastered) final.wav");
    const QString folders = QStringLiteral("Music/DJ Sets/Warehouse Nights/Extended Mixes");
    ASSERT_TRUE(QDir(rig.dir.path()).mkpath(folders));
    rig.MakeFile("short.wav", 200 * static_cast<int>(kChunkFrames), 0);
    rig.MakeFile((folders + '/' + longName).toStdString(), 200 * static_cast<int>(kChunkFrames), 0);
    QComboBox& chooser = *rig.deck[0]->chooser();
    const int room =
        chooser.fontMetrics().horizontalAdvance(QLatin1Char('x')) * chooser.minimumContentsLength();

    rig.Browse(0, "short.wav");
    EXPECT_EQ(chooser.currentText(), QStringLiteral("short.wav"));
    EXPECT_EQ(chooser.toolTip(), QString::fromStdString(rig.Path("short.wav")));

    rig.Browse(0, (folders + '/' + longName).toStdString());
    const QString shown = chooser.currentText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("2026-12-07")) &&
                shown.endsWith(QStringLiteral(" final.wav")) && shown.contains(QChar(0x2026)))
        << shown.toStdString();
    EXPECT_LE(chooser.fontMetrics().horizontalAdvance(shown), room);
    EXPECT_EQ(chooser.toolTip(), rig.dir.path() + '/' + folders + '/' + longName);
    EXPECT_EQ(chooser.count(), 3 + Cd().DriveCount()) << "one entry for the loaded file";

    chooser.setCurrentIndex(0);
    emit chooser.activated(0);
    EXPECT_EQ(chooser.toolTip(), QStringLiteral("select file or CD"));
}

TEST(DeckPanel, ALoadedFileShowsItsLengthFirstAndItsNameAndPlaysAtTheTempo) {
    AppRig rig;
    rig.MakeFile("track01.wav", 200 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "track01.wav");
    CTevDeck2& deck = *rig.deck[0];
    EXPECT_EQ(deck.source(), CTevDeck2::kSourceFile);
    EXPECT_EQ(deck.lengthLabel()->text(), QStringLiteral("00:00:13"));
    EXPECT_EQ(deck.timeLabel()->text(), QStringLiteral("00:00:13"));
    EXPECT_TRUE(deck.IsTimerRunning(CTevDeck2::kTimerShowElapsed));
    EXPECT_EQ(deck.nowPlaying()->DisplayedText(), QStringLiteral("track01"));

    // The top of the tempo slider is +8 %.
    deck.tempoSlider()->setValue(-1000);
    AppRig::Settle();
    EXPECT_EQ(deck.tempoLabel()->text(), QStringLiteral("8.0%"));
    EXPECT_EQ(rig.mixer->mainOutput().DeckFrequency(0), 47628U);
    EXPECT_EQ(rig.mixer->monitorOutput().DeckFrequency(0), 47628U);
    deck.tempoSlider()->setValue(1000);
    AppRig::Settle();
    EXPECT_EQ(deck.tempoLabel()->text(), QStringLiteral("-8.0%"));
    EXPECT_EQ(rig.mixer->mainOutput().DeckFrequency(0), 40572U);
    // The arrows move ten steps; the up arrow is faster.
    deck.tempoSlider()->setValue(0);
    deck.tempoUpButton()->click();
    EXPECT_EQ(deck.tempoSlider()->value(), -10);
    deck.tempoDownButton()->click();
    deck.tempoDownButton()->click();
    EXPECT_EQ(deck.tempoSlider()->value(), 10);
    deck.tempoResetButton()->click();
    AppRig::Settle();
    EXPECT_EQ(deck.tempoSlider()->value(), 0);
    EXPECT_EQ(rig.mixer->mainOutput().DeckFrequency(0), 44100U);

    // A seek makes new buffers: the tempo stays with them.
    deck.tempoSlider()->setValue(-500);
    AppRig::Settle();
    deck.SeekTo(0.5);
    ASSERT_TRUE(rig.WaitReady(0));
    EXPECT_EQ(rig.mixer->mainOutput().deckDevice()->deck(0).forwardBuffer->GetFrequency(),
              CTevDeck2::TempoRate(44100, 4.0));
}

TEST(DeckPanel, PlayTwiceWithCueEngagedReturnsToTheCuePoint) {
    AppRig rig;
    rig.MakeFile("a.wav", 400 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "a.wav");
    CTevDeck2& deck = *rig.deck[0];
    ASSERT_TRUE(rig.Play({0}));
    EXPECT_TRUE(deck.reverseButton()->isEnabled() ||
                AppRig::PumpUntil([&] { return deck.reverseButton()->isEnabled(); }));
    rig.PlaySlots(45);  // three seconds
    EXPECT_NEAR(deck.elapsedSeconds(), 3.0, 0.2);

    deck.cueCheck()->click();
    EXPECT_TRUE(deck.cueEngaged());
    const double cue = deck.cuePointSeconds();
    EXPECT_NEAR(cue, 3.0, 0.2);
    for (int tick = 0; tick < 11; ++tick) {  // the blink, which holds the time display
        deck.OnTimer(CTevDeck2::kTimerCueBlink);
    }
    EXPECT_FALSE(deck.IsTimerRunning(CTevDeck2::kTimerCueBlink));
    EXPECT_FALSE(deck.atCuePoint());
    rig.PlaySlots(30);
    EXPECT_GT(deck.elapsedSeconds(), cue + 1.5);

    QTest::mouseClick(deck.playButton(), Qt::LeftButton);  // the second press pauses
    AppRig::Settle(20);
    EXPECT_FALSE(deck.IsPlaying());
    EXPECT_TRUE(deck.atCuePoint());
    EXPECT_NEAR(deck.position() * deck.GetLengthSeconds(), cue, 0.01);
    EXPECT_EQ(deck.timeLabel()->text(), CTevDeck2::FormatTime(cue));
    EXPECT_FALSE(deck.reverseButton()->isEnabled());
}

// Play after the track played out starts it again. Once the decoder has closed at the end of
// the file, and the file is gone before Play restarts it, the reader ends without priming and the
// mixer refuses play, forward, backward or resumed.
TEST(DeckPanel, PlayAfterTheTrackPlayedOutStartsItAgainUnlessTheFileIsGone) {
    AppRig rig;
    CTevDeck2& deck = *rig.deck[0];
    rig.MakeFile("short.wav", 20 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "short.wav");
    // To its end, though a loaded machine may take longer than the track lasts.
    const auto playOut = [&] {
        for (int slot = 0; slot < 400 && deck.IsPlaying(); ++slot) {
            rig.PlaySlots(1);
        }
    };
    ASSERT_TRUE(rig.Play({0}));
    playOut();
    ASSERT_FALSE(deck.IsPlaying());
    EXPECT_TRUE(deck.stoppedAtEnd());
    AppRig::Settle(20);
    EXPECT_FALSE(rig.mixer->mainOutput().IsPlayingForward(0));
    ASSERT_TRUE(rig.Play({0}));
    EXPECT_FALSE(deck.stoppedAtEnd());
    const auto out = rig.PlaySlots(3);
    EXPECT_NEAR(tev::test::Sample(out, 3000, 0), 3000 * AppRig::Gain(0.7, 98.0 / 99.0), 0.6)
        << "the track from its start";

    playOut();
    ASSERT_TRUE(deck.stoppedAtEnd());
    std::filesystem::remove(rig.Path("short.wav"));
    QTest::mouseClick(deck.playButton(), Qt::LeftButton);
    // However long the failed reopen takes on a busy machine.
    EXPECT_TRUE(AppRig::PumpUntil([&] { return !deck.playButton()->isEnabled(); }))
        << "the deck is not ready";
    AppRig::Settle(20);
    EXPECT_FALSE(deck.IsPlaying());
    EXPECT_FALSE(deck.reverseButton()->isEnabled());
    EXPECT_FALSE(rig.mixer->mainOutput().IsPlayingForward(0));
    EXPECT_EQ(forwardNotifyRunning[0].load(), 0U);
    DeckTransport& transport = deck.transport();
    transport.PlayBackward();
    EXPECT_FALSE(transport.playingBackward());
    EXPECT_FALSE(rig.mixer->mainOutput().IsPlayingBackward(0));
    transport.PlayResumeAfterBackward();
    EXPECT_FALSE(transport.IsPlaying());
}

TEST(DeckPanel, WindingMovesOneSecondPerTickAndStaysInsideTheTrack) {
    AppRig rig;
    // 200 s of 8 kHz mono 8-bit: a long track in a small file.
    tev::test::WriteWav(rig.Path("long.wav"), 1, 8, 8000, std::vector<uint8_t>(200 * 8000, 128));
    rig.Browse(0, "long.wav");
    CTevDeck2& deck = *rig.deck[0];
    ASSERT_NEAR(deck.GetLengthSeconds(), 200.0, 0.01);

    QTest::mousePress(deck.fastForwardButton(), Qt::LeftButton);
    QTest::qWait(1000);
    QTest::mouseRelease(deck.fastForwardButton(), Qt::LeftButton);
    AppRig::Settle(20);
    EXPECT_GE(deck.position(), 3.9 / 200);  // about five ticks of 200 ms
    EXPECT_LE(deck.position(), 6.1 / 200);
    EXPECT_FALSE(deck.IsTimerRunning(CTevDeck2::kTimerFastForward));
    ASSERT_TRUE(rig.WaitReady(0));
    const double wound = deck.position();
    EXPECT_NEAR(deck.positionSlider()->value(), wound * CTevDeck2::kPositionRange, 1.0);

    // Past either end the position lands on that end.
    deck.SeekTo(199.5 / 200);
    ASSERT_TRUE(rig.WaitReady(0));
    SendAppMessage(hDeckWnd[0], WM_FFWD_PRESSED);
    for (int tick = 0; tick < 3; ++tick) {
        deck.OnTimer(CTevDeck2::kTimerFastForward);
    }
    SendAppMessage(hDeckWnd[0], WM_FFWD_RELEASED);
    EXPECT_EQ(deck.position(), 1.0);
    SendAppMessage(hDeckWnd[0], WM_RWND_PRESSED);
    for (int tick = 0; tick < 250; ++tick) {
        deck.OnTimer(CTevDeck2::kTimerRewind);
    }
    SendAppMessage(hDeckWnd[0], WM_RWND_RELEASED);
    EXPECT_EQ(deck.position(), 0.0);
    EXPECT_EQ(deck.elapsedSeconds(), 0.0);
    // The reader had reached the end of the file; the deck plays again from the start.
    EXPECT_TRUE(rig.WaitReady(0));
}

TEST(DeckPanel, ReverseAndTheDiscPlayBackwardAndResume) {
    AppRig rig;
    rig.MakeFile("a.wav", 300 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(1, "a.wav");
    CTevDeck2& deck = *rig.deck[1];
    // Dragging the disc of a paused deck starts it.
    SendAppMessage(hDeckWnd[1], WM_CHART_RELEASED, 1);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return deck.IsPlaying(); }));
    rig.PlaySlots(30);

    QTest::mousePress(deck.reverseButton(), Qt::LeftButton);
    AppRig::Settle();
    EXPECT_TRUE(deck.playingBackward());
    EXPECT_TRUE(rig.mixer->mainOutput().IsPlayingBackward(1));
    QTest::mouseRelease(deck.reverseButton(), Qt::LeftButton);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return !deck.playingBackward(); }));
    EXPECT_TRUE(rig.mixer->mainOutput().IsPlayingForward(1));

    SendAppMessage(hDeckWnd[1], WM_CHART_TURNED_BACKWARD, 1);
    EXPECT_TRUE(deck.playingBackward());
    // A pause while playing backward silences the deck.
    deck.PlayPause(true);
    EXPECT_FALSE(deck.IsPlaying());
    EXPECT_FALSE(deck.playingBackward());
    EXPECT_FALSE(rig.mixer->mainOutput().IsPlayingBackward(1));
    EXPECT_FALSE(rig.mixer->mainOutput().IsPlayingForward(1));
}

TEST(MainWindow, CancelInTheExitQuestionLeavesEverythingRunning) {
    AppRig rig;
    rig.MakeFile("a.wav", 300 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "a.wav");
    ASSERT_TRUE(rig.Play({0}));
    rig.confirmExit = false;
    EXPECT_FALSE(rig.mixer->close());
    AppRig::Settle(20);
    EXPECT_TRUE(rig.mixer->isVisible());
    EXPECT_TRUE(rig.deck[0]->IsPlaying());
    EXPECT_TRUE(rig.mixer->mainOutput().IsPlayingForward(0));
    EXPECT_EQ(hMixerWnd.Get(), static_cast<MessageReceiver*>(rig.mixer));
    rig.PlaySlots(3);

    // Confirmed, the program pauses the decks and ends.
    rig.confirmExit = true;
    EXPECT_TRUE(rig.mixer->close());
    ASSERT_TRUE(AppRig::PumpUntil([] { return !hMixerWnd; }));
    EXPECT_FALSE(hDeckWnd[0]);
    EXPECT_EQ(forwardNotifyRunning[0].load(), 0U);
}

TEST(MixerPanel, SlidersSetTheMixingValuesAndBalances) {
    AppRig rig;
    CTevMixer& mixer = *rig.mixer;
    mixer.deckLevelSlider(0)->setValue(0);
    EXPECT_EQ(mixer.engine().deckLevel[0].Get(), 1.0);
    mixer.deckLevelSlider(0)->setValue(65535);
    EXPECT_EQ(mixer.engine().deckLevel[0].Get(), 0.0);
    mixer.deckLevelSlider(0)->setValue(0);
    mixer.curveSlider()->setValue(0);
    mixer.mainCrossFader()->setValue(-1000);
    mixer.monitorCrossFader()->setValue(1000);
    EXPECT_DOUBLE_EQ(mixer.mainOutput().curveGain(0), 98.0 / 99.0);
    EXPECT_DOUBLE_EQ(mixer.mainOutput().curveGain(1), 0.0);
    EXPECT_DOUBLE_EQ(mixer.monitorOutput().curveGain(0), 0.0);
    EXPECT_DOUBLE_EQ(mixer.monitorOutput().curveGain(1), 98.0 / 99.0);
    mixer.cueMarkSlider()->setValue(200);
    EXPECT_DOUBLE_EQ(mixer.mainCrossFader()->cueMark(), 0.2);
    mixer.faderCueing()->setChecked(true);
    EXPECT_TRUE(mixer.mainCrossFader()->cueingEnabled());

    // "L R" puts Deck A in the left ear of the monitor and Deck B in the right; the audience's
    // output keeps its pans.
    rig.MakeFile("a.wav", 200 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "a.wav");
    rig.Browse(1, "a.wav");
    mixer.leftRightButton()->click();
    const DeckBufferDevice& monitor = *mixer.monitorOutput().deckDevice();
    const DeckBufferDevice& main = *mixer.mainOutput().deckDevice();
    EXPECT_EQ(monitor.deck(0).forwardBuffer->GetPan(), -10000);
    EXPECT_EQ(monitor.deck(1).forwardBuffer->GetPan(), 10000);
    EXPECT_EQ(main.deck(0).forwardBuffer->GetPan(), 0);
    EXPECT_EQ(main.deck(1).forwardBuffer->GetPan(), 0);
    mixer.monitorBalanceReset()->click();
    EXPECT_EQ(monitor.deck(0).forwardBuffer->GetPan(), 0);
    EXPECT_EQ(monitor.deck(1).forwardBuffer->GetPan(), 0);
}

namespace {

struct MonitorSetUp {
    const char* name;
    int monitorPair;  // of the main output's card; -1: a card of its own, -2: no monitor
    bool level;       // the monitor level: only with volume lines of its own
    bool headphones;  // the monitor cross fader and balances: only with speakers of their own
};

void PrintTo(const MonitorSetUp& setUp, std::ostream* out) {
    *out << setUp.name;
}

class MonitorControls : public ::testing::TestWithParam<MonitorSetUp> {
  protected:
    void Expect(const CTevMixer& mixer, bool level, bool headphones) {
        EXPECT_EQ(mixer.monitorLevelSlider()->isEnabled(), level);
        for (QWidget* control : {static_cast<QWidget*>(mixer.monitorCrossFader()),
                                 static_cast<QWidget*>(mixer.monitorBalance(0)),
                                 static_cast<QWidget*>(mixer.monitorBalance(1)),
                                 static_cast<QWidget*>(mixer.monitorBalanceReset()),
                                 static_cast<QWidget*>(mixer.leftRightButton())}) {
            EXPECT_EQ(control->isEnabled(), headphones) << control->metaObject()->className();
        }
    }
};

}  // namespace

// The monitor's controls follow the outputs' set-up, there and back again.
TEST_P(MonitorControls, FollowWhatTheMonitorOutputPlaysOn) {
    const MonitorSetUp& setUp = GetParam();
    AppRig rig;
    CTevMixer& mixer = *rig.mixer;
    const auto change = [&mixer](const std::function<void(SoundOutput&)>& open) {
        mixer.engine().SuspendForDeviceChange();
        open(mixer.monitorOutput());
        mixer.engine().ResumeAfterDeviceChange();
        mixer.EnableMonitorControls();
    };
    const auto ownCard = std::make_shared<ManualClockCard>(2);
    const auto chosen = [&](SoundOutput& monitor) {
        if (setUp.monitorPair >= 0) {
            monitor.Open(rig.card, setUp.monitorPair, "monitor");
        } else if (setUp.monitorPair == -1) {
            monitor.Open(ownCard, 0, "headphones");
        } else {
            monitor.Release();
        }
    };
    change(chosen);
    Expect(mixer, setUp.level, setUp.headphones);
    change([&ownCard](SoundOutput& monitor) { monitor.Open(ownCard, 0, "headphones"); });
    Expect(mixer, true, true);
    change(chosen);
    Expect(mixer, setUp.level, setUp.headphones);
}

INSTANTIATE_TEST_SUITE_P(SetUps, MonitorControls,
                         ::testing::Values(MonitorSetUp{"RearPairOfTheMainCard", 1, false, true},
                                           MonitorSetUp{"TheMainOutputItself", 0, false, false},
                                           MonitorSetUp{"None", -2, false, false},
                                           MonitorSetUp{"ACardOfItsOwn", -1, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MixerPanel, LevelsAndCurveAreStoredOncePerReleaseAndComeBackAtTheNextStart) {
    AppRig rig;
    CTevMixer& mixer = *rig.mixer;
    AppRig::Settle(20);
    const uint64_t before = Settings().writes();
    // Two drags of 200 steps each, let go at the end.
    for (QSlider* slider : {mixer.curveSlider(), mixer.deckLevelSlider(1)}) {
        slider->setSliderDown(true);
        for (int step = 1; step <= 200; ++step) {
            slider->setValue(slider->minimum() +
                             step * (slider->maximum() - slider->minimum()) / 300);
        }
        slider->setSliderDown(false);
    }
    EXPECT_EQ(Settings().writes() - before, 2U) << "one write per release";
    const SettingsStore& stored = Settings();
    SettingsStore nextStart(stored.path());
    EXPECT_NEAR(nextStart.LoadCrossFaderCurvePosition(), mixer.engine().curveParameter.Get(), 1e-6);
    EXPECT_NEAR(nextStart.LoadLevelDeck(1), mixer.engine().deckLevel[1].Get(), 1e-6);
    EXPECT_NEAR(nextStart.LoadLevelDeck(0), 0.7, 1e-6);
}
