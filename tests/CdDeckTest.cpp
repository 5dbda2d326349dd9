#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>

#include "decks/CTevTrackNameIndicator.h"
#include "input/CdReader.h"
#include "output/CTevCrossFaderCtrl.h"
#include "playlist/CTevPlayList2.h"
#include "support/AppRig.h"
#include "support/CdImage.h"

using namespace tev;
using tev::test::AppRig;
using tev::test::CdTone;
using tev::test::ExpectFrames;
using tev::test::Sample;

namespace {

constexpr size_t kRamp = test::kFadeInFrames;
// Track lengths in blocks (588 frames): none a whole number of chunks (2,940 frames).
constexpr int kBlocks[] = {252, 203, 151};

class CdDeck : public ::testing::Test {
  protected:
    CdDeck() {
        std::vector<std::vector<int16_t>> tracks;
        for (size_t t = 0; t < 3; ++t) {
            tracks.push_back(CdTone(kBlocks[t], 441.0 * (1 << t)));
            trackStart.push_back(disc.size() / 2);
            disc.insert(disc.end(), tracks.back().begin(), tracks.back().end());
        }
        cue = test::WriteCdImage(rig.dir.path().toStdString(), "tones", tracks,
                                 {"Tone Disc", "", "Second Tône"});
    }

    AppRig rig;
    std::string cue;
    std::vector<int16_t> disc;
    std::vector<size_t> trackStart;  // in frames
    const double gain = AppRig::Gain(0.7, 98.0 / 99.0);
};

}  // namespace

TEST_F(CdDeck, AnImageChosenThroughBrowsePlaysItsTracksInOrderAndTheDeckFollowsThem) {
    CTevDeck2& deck = *rig.deck[0];
    deck.SetFileChooser([this] { return QStringList{QString::fromStdString(cue)}; });
    deck.chooser()->setCurrentIndex(1);
    emit deck.chooser()->activated(1);
    ASSERT_TRUE(rig.WaitReady(0));
    EXPECT_EQ(deck.source(), CTevDeck2::kSourceCd);
    EXPECT_EQ(deck.chooser()->currentText(), QStringLiteral("tones.cue"));
    EXPECT_EQ(deck.chooser()->toolTip(), QString::fromStdString(cue));
    EXPECT_EQ(deck.GetCdTrack(), 1);
    EXPECT_DOUBLE_EQ(deck.GetLengthSeconds(), kBlocks[0] / 75.0);
    EXPECT_EQ(deck.timeLabel()->text(), QStringLiteral("00:00:08")) << "the disc's length";
    EXPECT_EQ(deck.nowPlaying()->DisplayedText(), QStringLiteral("Tone Disc"))
        << "a track without a title of its own shows the disc's";
    EXPECT_EQ(deck.IsTimerRunning(CTevDeck2::kTimerDiscLength), true);
    deck.OnTimer(CTevDeck2::kTimerDiscLength);
    AppRig::Settle();
    EXPECT_EQ(deck.timeLabel()->text(), QStringLiteral("00:00:00"));

    ASSERT_TRUE(rig.Play({0}));
    // Into the second track: the deck shows it, with its length and the time played in it,
    // though the reader is far ahead.
    const int intoTrack2 = static_cast<int>((trackStart[1] + 5 * kChunkFrames) / kChunkFrames);
    auto out = rig.PlaySlots(intoTrack2);
    EXPECT_EQ(deck.GetCdTrack(), 2);
    EXPECT_DOUBLE_EQ(deck.GetLengthSeconds(), kBlocks[1] / 75.0);
    AppRig::Settle();
    EXPECT_EQ(deck.nowPlaying()->DisplayedText(), QString::fromUtf8("Second Tône"));
    EXPECT_NEAR(deck.elapsedSeconds(), (out.size() / 4.0 - trackStart[1]) / 44100, 0.2);
    // To the end: every track's tone in order, then silence, and the deck stops.
    while (deck.IsPlaying() && out.size() / 4 < disc.size() / 2 + 20 * kChunkFrames) {
        const auto more = rig.PlaySlots(1);
        out.insert(out.end(), more.begin(), more.end());
    }
    ASSERT_GE(out.size() / 4, disc.size() / 2);
    ExpectFrames(out, {0}, kRamp, std::min(out.size() / 4, disc.size() / 2 + kChunkFrames), disc,
                 kRamp, gain);
    EXPECT_EQ(deck.GetCdTrack(), 3);
    EXPECT_FALSE(deck.IsPlaying());
    EXPECT_TRUE(deck.stoppedAtEnd());
    EXPECT_TRUE(deckEvents[0].threadCdReadForwardDone.IsSet()) << "the reader is not left waiting";
}

TEST_F(CdDeck, APlayListTrackStartsAtItsFirstSample) {
    CTevDeck2& deck = *rig.deck[1];
    ASSERT_TRUE(deck.LoadCdImage(cue));
    ASSERT_TRUE(rig.WaitReady(1));
    deck.LoadCdTrack(2);
    ASSERT_TRUE(rig.WaitReady(1));
    EXPECT_EQ(deck.GetCdTrack(), 2);
    rig.mixer->mainCrossFader()->setValue(1000);  // Deck B on the main output
    ASSERT_TRUE(rig.Play({1}));
    const auto out = rig.PlaySlots(20);
    ExpectFrames(out, {0}, kRamp, out.size() / 4, disc, trackStart[1] + kRamp, gain);

    // A seek stays in the sounding track, though the reader has moved on to the next.
    ASSERT_EQ(Cd().CurrentTrack(1), 4);
    deck.SeekTo(0.5);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return deck.IsPlaying(); }));
    EXPECT_EQ(deck.GetCdTrack(), 2);
    const size_t half = kBlocks[1] / 2 * test::kFramesPerBlock;  // whole blocks
    const auto after = rig.PlaySlots(3);
    ExpectFrames(after, {0}, kRamp, after.size() / 4, disc, trackStart[1] + half + kRamp, gain);
}

TEST_F(CdDeck, AnImageThatCannotPlayLeavesTheDeckEmptyAndSaysWhy) {
    CTevDeck2& deck = *rig.deck[0];
    rig.MakeFile("a.wav", 200 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "a.wav");
    // An image whose data file is a FIFO would block libcdio for ever.
    { std::ofstream(rig.Path("fifo.cue")) << "FILE \"fifo.bin\" BINARY\n  TRACK 01 AUDIO\n"; }
    ASSERT_EQ(mkfifo(rig.Path("fifo.bin").c_str(), 0600), 0);
    QString told;
    deck.SetMessageSink([&told](const QString& text) { told = text; });
    deck.SetFileChooser([&] { return QStringList{QString::fromStdString(rig.Path("fifo.cue"))}; });
    deck.chooser()->setCurrentIndex(1);
    emit deck.chooser()->activated(1);
    AppRig::Settle(20);
    EXPECT_TRUE(told.startsWith(QStringLiteral("No audio CD could be read from")));
    EXPECT_TRUE(told.contains(QLatin1String("fifo.bin is not a file"))) << told.toStdString();
    EXPECT_EQ(deck.source(), CTevDeck2::kSourceNone);
    EXPECT_EQ(deck.chooser()->currentIndex(), 0);
    EXPECT_FALSE(deck.playButton()->isEnabled());
}

namespace {
Event driveReleased{Event::Manual, false};
std::atomic<int> readsHeld{0};
void HoldTheRead() {
    ++readsHeld;
    driveReleased.Wait();
}
}  // namespace

// A seek while the drive holds the reader up (a scratch being retried): after a few seconds the
// deck gives the disc up, says so, and takes a file at once; the program closes normally.
TEST_F(CdDeck, ADriveThatHoldsItsReaderUpIsGivenUpAndTheDeckStaysUsable) {
    driveReleased.Reset();
    readsHeld = 0;
    CTevDeck2& deck = *rig.deck[0];
    // Longer than the ring, so that the reader has more to read once play has begun.
    const std::string longCue =
        test::WriteCdImage(rig.dir.path().toStdString(), "long", {CdTone(1500, 441.0)});
    ASSERT_TRUE(deck.LoadCdImage(longCue));
    ASSERT_TRUE(rig.WaitReady(0));
    ASSERT_TRUE(rig.Play({0}));
    Cd().SetReadDelay(HoldTheRead);
    rig.PlaySlots(RingConsumer::kChunksPerWake + 1);  // the reader is woken, and held
    ASSERT_TRUE(AppRig::PumpUntil([] { return readsHeld.load() > 0; }));

    QString told;
    deck.SetMessageSink([&told](const QString& text) { told = text; });
    const auto began = std::chrono::steady_clock::now();
    deck.SeekTo(0.5);
    EXPECT_GE(std::chrono::steady_clock::now() - began, kCdStopTimeout);
    EXPECT_EQ(told,
              QStringLiteral("The CD drive does not answer: ") + QString::fromStdString(longCue));
    EXPECT_EQ(deck.source(), CTevDeck2::kSourceNone);
    EXPECT_FALSE(deck.IsPlaying());
    EXPECT_FALSE(Cd().IsOpen(0));

    Cd().SetReadDelay(nullptr);
    const auto file = rig.MakeFile("a.wav", 200 * static_cast<int>(kChunkFrames), 3);
    rig.Browse(0, "a.wav");
    ASSERT_TRUE(rig.WaitReady(0));
    ASSERT_TRUE(rig.Play({0}));
    driveReleased.Set();  // the old reader leaves now, in the middle of the file's play
    const auto out = rig.PlaySlots(40);
    ExpectFrames(out, {0}, kRamp, out.size() / 4, file, kRamp, gain);
}

TEST(CommandLine, EachFileOrListGoesIntoDeckAAndThePlayListAndTheRestAreExplained) {
    QTemporaryDir files;
    const std::string dir = QFile::encodeName(files.path()).toStdString();
    // The second file's name is not UTF-8: Linux names are bytes.
    const std::string second = dir + "/caf\xe9 \xff.wav";
    test::WriteWav(dir + "/first.wav", 2, 16, 44100,
                   test::Bytes(test::NumberedFrames(50 * kChunkFrames, 2, 1)));
    test::WriteWav(second, 2, 16, 44100,
                   test::Bytes(test::NumberedFrames(50 * kChunkFrames, 2, 1)));
    std::ofstream(dir + "/notes.txt") << "not a sound";
    test::WriteCdImage(dir, "tones", {CdTone(100, 441)});
    ASSERT_EQ(mkfifo((dir + "/pipe.wav").c_str(), 0600), 0);
    {
        AppRig rig({dir + "/first.wav", second, dir + "/tones.cue", dir + "/notes.txt",
                    dir + "/missing.wav", dir, dir + "/pipe.wav"});
        EXPECT_EQ(rig.deck[0]->source(), CTevDeck2::kSourceCd)
            << "the names after it were no sound";
        EXPECT_EQ(rig.deck[0]->chooser()->toolTip(), files.filePath("tones.cue"));
        EXPECT_EQ(rig.deck[1]->source(), CTevDeck2::kSourceNone);
        // Told in the program, each with its reason.
        ASSERT_EQ(rig.told.size(), 1);
        const QString& told = rig.told.front();
        EXPECT_TRUE(told.startsWith(QStringLiteral("File Not Recognized: "))) << told.toStdString();
        for (const char* why : {"notes.txt is not a sound file", "missing.wav is missing",
                                "is a folder", "pipe.wav is not a regular file"}) {
            EXPECT_TRUE(told.contains(QLatin1String(why))) << why << ": " << told.toStdString();
        }
        // Listed for Deck A: the two files and the disc's track, nothing that did not load.
        const CTevPlayList2& list = *rig.mixer->playList();
        ASSERT_EQ(list.rowCount(), 3);
        EXPECT_EQ(list.track(0).path, dir + "/first.wav");
        EXPECT_EQ(list.track(1).path, second);
        EXPECT_EQ(list.track(2).type, PlayListTrack::kTypeMedium);
        EXPECT_EQ(list.CuedTrack(0), &list.track(2));
    }
    {
        AppRig rig({dir + "/first.wav", second});
        EXPECT_EQ(rig.deck[0]->GetFilePath(), second);
        EXPECT_TRUE(rig.told.isEmpty());
        EXPECT_EQ(rig.mixer->playList()->CuedTrackPath(0), second);
        ASSERT_TRUE(rig.WaitReady(0));
        ASSERT_TRUE(rig.Play({0}));
        const auto out = rig.PlaySlots(3);
        EXPECT_NE(Sample(out, 3 * kChunkFrames - 1, 0), 0.0) << "the file plays";
    }
    {
        // A list named on the command line fills the play list; Deck A takes its first track.
        std::ofstream(dir + "/set.M3U") << "#EXTM3U\nhttp://127.0.0.1:9/radio\n"
                                        << second << "\nfirst.wav\n";
        AppRig rig({dir + "/set.M3U"});
        const CTevPlayList2& list = *rig.mixer->playList();
        ASSERT_EQ(list.rowCount(), 3);
        EXPECT_TRUE(list.track(0).unreadable) << "a URL is never opened";
        EXPECT_EQ(list.track(2).path, dir + "/first.wav");
        ASSERT_TRUE(AppRig::PumpUntil([&] { return rig.deck[0]->GetFilePath() == second; }));
        EXPECT_EQ(list.CuedTrackPath(0), second);
        EXPECT_TRUE(rig.told.isEmpty());
    }
}
