#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <fstream>
#include <vector>

#include "playlist/CTevPlayList2.h"
#include "support/AppRig.h"

using namespace tev;
using tev::test::AppRig;
using tev::test::Sample;

namespace {

constexpr size_t kRamp = test::kFadeInFrames;
constexpr int kChunk = static_cast<int>(kChunkFrames);

// What Deck A shows after each slot has sounded.
struct Shown {
    QString title;
    double length = 0.0;
    double elapsed = 0.0;
    bool blinking = false;
};

}  // namespace

// The first file is longer than the ring, so the reader reaches its end while it plays; the
// two after it are shorter and are read ahead of each other before either sounds.
TEST(PlayListPlay, ADecksListedFilesPlayAsOneSoundAndTheDeckFollowsEachThenStops) {
    AppRig rig;
    const auto a = rig.MakeFile("a.wav", 200 * kChunk + 1234, 0, "First");
    const auto b = rig.MakeFile("b.wav", 30 * kChunk + 77, 900, "Second");
    const auto c = rig.MakeFile("c.wav", 20 * kChunk, 1800, "Third");
    rig.MakeFile("other.wav", 10 * kChunk, 2700, "Deck B's");
    rig.Browse(0, "a.wav");  // listed and cued
    CTevPlayList2& list = *rig.mixer->playList();
    list.AddTrack(1, rig.Path("other.wav"), -1.0, {});
    list.AddTrack(0, rig.Path("b.wav"), -1.0, {});
    list.AddTrack(0, rig.Path("c.wav"), -1.0, {});
    ASSERT_EQ(list.CuedTrackPath(0), rig.Path("a.wav"));

    ASSERT_TRUE(rig.Play({0}));
    std::vector<float> out;
    std::vector<Shown> shown;
    const size_t total = (a.size() + b.size() + c.size()) / 2;
    while (out.size() / 4 < total + 4 * kChunkFrames) {
        const auto slot = rig.PlaySlots(1);
        out.insert(out.end(), slot.begin(), slot.end());
        const CTevDeck2& deck = *rig.deck[0];
        shown.push_back({deck.GetTitle(), deck.GetLengthSeconds(), deck.elapsedSeconds(),
                         deck.trackEndBlinking()});
    }

    // Exactly the three files in a row, and silence after them.
    std::vector<int16_t> all = a;
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
    const double gain = AppRig::Gain(rig.mixer->engine().deckLevel[0].Get(), 98.0 / 99.0);
    test::ExpectFrames(out, {0}, kRamp, out.size() / 4, all, kRamp, gain);
    ASSERT_TRUE(AppRig::PumpUntil([&] { return !rig.deck[0]->IsPlaying(); }));
    EXPECT_TRUE(rig.deck[0]->stoppedAtEnd());

    // Each file is shown from the start of the slot its first frame sounds in, with its title and
    // length, and the time counts within it. shown[k] is the deck as slot k + 1 begins.
    struct File {
        QString title;
        size_t first, frames;
    };
    const File files[] = {{QStringLiteral("First"), 0, a.size() / 2},
                          {QStringLiteral("Second"), a.size() / 2, b.size() / 2},
                          {QStringLiteral("Third"), (a.size() + b.size()) / 2, c.size() / 2}};
    for (size_t i = 0; i < 3; ++i) {
        const File& file = files[i];
        SCOPED_TRACE(file.title.toStdString());
        const size_t from = file.first / kChunkFrames;  // the slot holding its first frame
        const size_t to = (file.first + file.frames) / kChunkFrames;
        for (size_t k = from == 0 ? 0 : from - 1; k + 1 < to && k < shown.size(); ++k) {
            ASSERT_EQ(shown[k].title, file.title) << "slot " << k;
            ASSERT_NEAR(shown[k].length, file.frames / 44100.0, 0.001);
        }
        if (i > 0) {
            EXPECT_NE(shown[from - 2].title, file.title) << "shown before it sounds";
        }
        // The time, refreshed every third slot, a few slots in.
        const size_t k = from + 6;
        const double heard = (static_cast<double>(k + 1) * kChunkFrames - file.first) / 44100.0;
        EXPECT_NEAR(shown[k].elapsed, heard, 0.25) << "slot " << k;
    }
    // While the first file's last seconds sound, the reader is already in the next: Next blinks,
    // and the time still counts to the end of the first.
    const size_t late = a.size() / 2 / kChunkFrames - 4;
    EXPECT_TRUE(shown[late].blinking);
    EXPECT_NEAR(shown[late].elapsed, static_cast<double>(late + 1) * kChunkFrames / 44100.0, 0.25);
    EXPECT_FALSE(shown.back().blinking);

    // The deck's cue followed it to its last file; Deck B's track was never touched.
    EXPECT_EQ(list.CuedTrackPath(0), rig.Path("c.wav"));
    EXPECT_EQ(list.CuedTrack(1), nullptr);
}

// Next on a playing deck loads the deck's next listed file and plays on with it; Prev at the top
// of the deck's queue does nothing.
TEST(PlayListPlay, NextWhilePlayingPlaysOnWithTheNextFile) {
    AppRig rig;
    // Deck A's first file counts up from 0, its second lies below zero on the left channel.
    rig.MakeFile("a.wav", 100 * kChunk, 0, "First");
    rig.MakeFile("b.wav", 10 * kChunk, 4572, "Second");
    rig.Browse(0, "a.wav");
    CTevPlayList2& list = *rig.mixer->playList();
    list.AddTrack(0, rig.Path("b.wav"), -1.0, {});
    ASSERT_TRUE(rig.Play({0}));
    rig.PlaySlots(5);

    QTest::mouseClick(rig.deck[0]->previousButton(), Qt::LeftButton);
    EXPECT_EQ(rig.deck[0]->GetFilePath(), rig.Path("a.wav")) << "nothing before the first";
    QTest::mouseClick(rig.deck[0]->nextButton(), Qt::LeftButton);
    ASSERT_TRUE(AppRig::PumpUntil([&] {
        return rig.deck[0]->IsPlaying() && rig.deck[0]->GetFilePath() == rig.Path("b.wav");
    }));
    EXPECT_EQ(rig.deck[0]->GetTitle(), QStringLiteral("Second"));
    EXPECT_EQ(list.CuedTrackPath(0), rig.Path("b.wav"));
    const auto out = rig.PlaySlots(6);
    size_t heard = 0;
    for (size_t f = 0; f < out.size() / 4; ++f) {
        heard += Sample(out, f, 0) < -100.0 ? 1 : 0;
    }
    EXPECT_GT(heard, 4 * kChunkFrames) << "the next file plays on";
}

// A listed track that cannot play, chosen while the deck plays: the user is told, the deck plays
// on undisturbed, and the row shows "???".
TEST(PlayListPlay, ATrackThatCannotPlayLeavesThePlayingDeckAlone) {
    AppRig rig;
    const auto a = rig.MakeFile("a.wav", 100 * kChunk, 0);
    rig.Browse(0, "a.wav");
    std::ofstream(rig.Path("set.m3u")) << "gone.wav\nhttp://127.0.0.1:9/stream\n";
    CTevPlayList2& list = *rig.mixer->playList();
    list.LoadPlayList(rig.Path("set.m3u"));
    ASSERT_EQ(list.rowCount(), 3);
    ASSERT_TRUE(rig.Play({0}));
    rig.PlaySlots(3);

    for (int row : {1, 2}) {
        list.ActivateRow(row);
        AppRig::Settle();
        EXPECT_TRUE(rig.deck[0]->IsPlaying());
        EXPECT_EQ(rig.deck[0]->GetFilePath(), rig.Path("a.wav"));
        EXPECT_EQ(list.TimeText(row), QStringLiteral("???"));
    }
    ASSERT_EQ(rig.told.size(), 2);
    EXPECT_EQ(rig.told[0], QStringLiteral("File Not Recognized: %1 is missing")
                               .arg(QString::fromStdString(rig.Path("gone.wav"))));
    EXPECT_EQ(rig.told[1], QStringLiteral("File Not Recognized: http://127.0.0.1:9/stream"));
    // The deck's sound went on where it was.
    const double gain = AppRig::Gain(rig.mixer->engine().deckLevel[0].Get(), 98.0 / 99.0);
    const auto out = rig.PlaySlots(2);
    const size_t at = 3 * kChunkFrames + kChunkFrames / 2;
    EXPECT_NEAR(Sample(out, kChunkFrames / 2, 0), a[2 * at] * gain, 0.6);
}

// A next file the reader cannot go on into plays once the first has played out, after a short
// gap: one at another rate than the deck's buffers (rather than at the wrong pitch), and one
// listed only after the reader had read the whole of a short first file.
TEST(PlayListPlay, ANextFileTheReaderCannotTakeFollowsOnceTheFirstEnds) {
    struct Case {
        int firstChunks;
        uint32_t nextRate;
    };
    for (const Case& c : {Case{200, 48000}, Case{30, 44100}}) {
        SCOPED_TRACE(c.nextRate);
        AppRig rig;
        rig.MakeFile("a.wav", c.firstChunks * kChunk, 0);
        test::WriteWav(rig.Path("b.wav"), 2, 16, static_cast<int>(c.nextRate),
                       test::Bytes(test::NumberedFrames(100 * kChunk, 2, 4572)));
        // Listed once the ring is full: before the end of a long first file is read, after that
        // of a short one.
        rig.Browse(0, "a.wav");
        CTevPlayList2& list = *rig.mixer->playList();
        list.AddTrack(0, rig.Path("b.wav"), -1.0, {});
        ASSERT_TRUE(rig.Play({0}));
        rig.PlaySlots(c.firstChunks + 4);
        ASSERT_TRUE(AppRig::PumpUntil([&] {
            return rig.deck[0]->IsPlaying() && rig.deck[0]->GetFilePath() == rig.Path("b.wav");
        }));
        EXPECT_EQ(list.CuedTrackPath(0), rig.Path("b.wav"));
        // At its own pitch: its numbered frames go by at its rate against the card's 44,100 Hz.
        const auto out = rig.PlaySlots(6);
        const double gain = AppRig::Gain(rig.mixer->engine().deckLevel[0].Get(), 98.0 / 99.0);
        std::vector<double> steps;
        for (size_t f = 2 * kChunkFrames; f < 5 * kChunkFrames; ++f) {
            steps.push_back(Sample(out, f + 1, 0) - Sample(out, f, 0));
        }
        std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
        EXPECT_NEAR(steps[steps.size() / 2] / gain, c.nextRate / 44100.0, 0.01);
    }
}
