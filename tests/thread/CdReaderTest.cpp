#include "input/CdReader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/AppMessages.h"
#include "core/RingProducer.h"
#include "decoder/DecoderRig.h"
#include "support/CdImage.h"
#include "thread/TestRig.h"

using namespace tev;
using test::CdTone;
using test::EngineRig;

namespace {

// Track lengths in blocks: none a whole number of chunks (five blocks).
constexpr int kTrack1 = 252;
constexpr int kTrack2 = 203;
constexpr int kTrack3 = 151;

class CdReading : public ::testing::Test {
  protected:
    CdReading() {
        cue = test::WriteCdImage(
            dir, "three", {CdTone(kTrack1, 441), CdTone(kTrack2, 882), CdTone(kTrack3, 1764)});
    }
    ~CdReading() override {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            StopReader(deck, ReaderKind::Cd, false);
            Cd().Close(deck);
        }
    }

    // Opens the three-track image in deck 1.
    void OpenImage() {
        Cd().Open(1, Cd().AddImage(cue));
        ASSERT_TRUE(Cd().IsOpen(1));
    }

    // Reads up to `count` chunks into the deck's ring as its reader does; the chunks read.
    static int ReadChunks(int deck, int count, CdReader::ChunkRead& last) {
        RingProducer producer(deck, ReaderKind::Cd);
        const uint64_t lease = Cd().LeaseReader(deck);
        int read = 0;
        for (; read < count; ++read) {
            last = Cd().ReadChunk(deck, lease, producer, ChunkSource{});
            if (last != CdReader::ChunkRead::kRead && last != CdReader::ChunkRead::kNewTrack) {
                break;
            }
        }
        return read;
    }

    EngineRig rig;
    test::TempDir temp;
    const std::string dir = temp.path;
    std::string cue;
};

}  // namespace

// Lengths and positions are whole blocks, and a position belongs to the track that holds it.
TEST_F(CdReading, AnImageOpensWithItsTracksAndPositionsAreWholeBlocks) {
    OpenImage();
    CdReader& cd = Cd();
    EXPECT_EQ(cd.TrackCount(1), 3);
    EXPECT_EQ(cd.DriveName(1), cue);
    EXPECT_EQ(cd.TrackLength(1, 4), 0.0);
    EXPECT_FALSE(cd.IsOpen(0));
    EXPECT_EQ(cd.AddImage(cue), cd.AddImage(cue)) << "an image is listed once";
    cd.SetPosition(1, 1.0);
    EXPECT_EQ(cd.ReadPosition(1), 176400U);
    cd.SetPosition(1, 0.5);
    EXPECT_EQ(cd.ReadPosition(1), 87024U);
    cd.SetPosition(1, -3.0);
    EXPECT_EQ(cd.ReadPosition(1), 0U);
    const double endOfTrack1 = kTrack1 / 75.0;
    cd.SetPosition(1, endOfTrack1 - 1.0 / 75);
    EXPECT_EQ(cd.CurrentTrack(1), 1);
    cd.SetPosition(1, endOfTrack1);
    EXPECT_EQ(cd.CurrentTrack(1), 2);
    EXPECT_NEAR(cd.ElapsedInTrack(1), 0.0, 1e-9);
    cd.SetPosition(1, cd.DiscLength(1));
    EXPECT_EQ(cd.CurrentTrack(1), 4);

    cd.Close(1);
    EXPECT_FALSE(cd.IsOpen(1));
    EXPECT_EQ(cd.TrackCount(1), 0);
}

TEST_F(CdReading, AReadFillsTheRingAtItsFillOffsetAndWrapsAtItsEnd) {
    // A disc longer than the ring.
    const auto longTrack = CdTone(180 * 5, 300);
    Cd().Open(0, Cd().AddImage(test::WriteCdImage(dir, "long", {longTrack})));
    ASSERT_TRUE(Cd().IsOpen(0));
    DeckRing& ring = deckRing[0];
    ring.writeIndex.store(0);
    ring.cdFillOffset.store(0);
    CdReader::ChunkRead last{};
    EXPECT_EQ(ReadChunks(0, kRingChunks, last), static_cast<int>(kRingChunks));
    EXPECT_EQ(ring.cdFillOffset.load(), 0U);
    EXPECT_EQ(ring.writeIndex.load(), 0U);
    EXPECT_EQ(std::memcmp(ring.data, longTrack.data(), kRingBytes), 0);

    // Two chunks from the ring's last one: the second continues at its start.
    ring.cdFillOffset.store((kRingChunks - 1) * kChunkBytes);
    ring.writeIndex.store(kRingChunks - 1);
    Cd().SetPosition(0, 1.0);
    EXPECT_EQ(ReadChunks(0, 2, last), 2);
    EXPECT_EQ(ring.writeIndex.load(), 1U);
    EXPECT_EQ(ring.cdFillOffset.load(), kChunkBytes);
    const int16_t* second = longTrack.data() + (176400 + kChunkBytes) / 2;
    EXPECT_EQ(std::memcmp(ring.Chunk(kRingChunks - 1), longTrack.data() + 176400 / 2, kChunkBytes),
              0);
    EXPECT_EQ(std::memcmp(ring.Chunk(0), second, kChunkBytes), 0);
}

// Images whose data file is a FIFO (libcdio would wait for a writer for ever), missing, a folder,
// empty, or longer than any CD, a cue sheet that is junk or missing, and drives that are not in
// the list: each is refused at once, saying why, and nothing can be read.
TEST_F(CdReading, HostileImagesAreRefusedAtOnceSayingWhy) {
    const auto cueFor = [&](const std::string& name, const std::string& bin) {
        std::ofstream(dir + "/" + name + ".cue")
            << "FILE \"" << bin << "\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
        return dir + "/" + name + ".cue";
    };
    ASSERT_EQ(mkfifo((dir + "/fifo.bin").c_str(), 0600), 0);
    std::filesystem::create_directory(dir + "/folder.bin");
    { std::ofstream(dir + "/empty.bin"); }
    // 4.5 GB, sparse: a "disc" of seven hours whose byte positions would not fit in 32 bits.
    { std::ofstream(dir + "/huge.bin"); }
    std::filesystem::resize_file(dir + "/huge.bin", 4'500'000'000ULL);
    { std::ofstream(dir + "/junk.cue") << "this is not a cue sheet\n"; }
    const std::pair<std::string, std::string> cases[] = {
        {cueFor("fifo", "fifo.bin"), "is not a file"},
        {cueFor("missing", "gone.bin"), "is missing"},
        {cueFor("folder", "folder.bin"), "is a folder"},
        {cueFor("empty", "empty.bin"), ""},
        {cueFor("huge", "huge.bin"), "longer than any audio CD"},
        {dir, "is a folder"},  // the cue sheet itself
        {dir + "/junk.cue", ""},
        {dir + "/missing.cue", "is missing"},
    };
    for (const auto& [cue, why] : cases) {
        Cd().Open(0, Cd().AddImage(cue));
        EXPECT_FALSE(Cd().IsOpen(0)) << cue;
        EXPECT_FALSE(Cd().LastError(0).empty()) << cue;
        EXPECT_NE(Cd().LastError(0).find(why), std::string::npos) << Cd().LastError(0);
        CdReader::ChunkRead last{};
        EXPECT_EQ(ReadChunks(0, 1, last), 0);
        EXPECT_EQ(last, CdReader::ChunkRead::kEnded);
    }
    for (const int drive : {-1, Cd().DriveCount()}) {
        Cd().Open(0, drive);
        EXPECT_FALSE(Cd().IsOpen(0)) << drive;
    }
}

TEST(CueSheet, NamesItsDataFilesQuotedOrNot) {
    EXPECT_EQ(CdReader::CueDataFiles("REM x\nFILE \"a b.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                     "\tFILE plain.wav WAVE\r\nFILE \"unclosed\nFILE\n"),
              (std::vector<std::string>{"a b.bin", "plain.wav"}));
    EXPECT_TRUE(CdReader::CueDataFiles("").empty());
}

// A drive that answers after the deck stopped waiting: what it found is let go, and the deck
// stays empty, even when the answer is a disc.
TEST_F(CdReading, AnOpenTheDeckStoppedWaitingForIsDropped) {
    CdReader& cd = Cd();
    const int drive = cd.AddImage(cue);
    const uint64_t late = cd.BeginOpen(0);
    cd.AbandonOpen(0);
    cd.RunOpen(0, late, drive);
    EXPECT_FALSE(cd.FinishOpen(0, late));
    EXPECT_FALSE(cd.IsOpen(0));
    EXPECT_EQ(cd.LastError(0), CdReader::kNoAnswer);
    // The next open works as ever.
    const uint64_t next = cd.BeginOpen(0);
    cd.RunOpen(0, next, drive);
    EXPECT_TRUE(cd.FinishOpen(0, next));
    EXPECT_EQ(cd.TrackCount(0), 3);
}

// CD-TEXT titles from a cue sheet, as rippers write them: UTF-8 (libcdio reads Latin-1 and
// would double-encode it), Latin-1, control characters, and a run-on title cut at a character.
TEST_F(CdReading, CueTitlesAreReadAsTheirWriterMeantThem) {
    const std::string longTitle = std::string(152, 'x') + "ééééé";  // the fifth é ends at 162
    const struct {
        std::string written, shown;
    } cases[] = {
        {"Tône Étude", "Tône Étude"},
        {"Caf\xE9", "Café"},
        {"Two\x01Lines\x1B", "TwoLines"},
        {"Plain", "Plain"},
        {longTitle, std::string(152, 'x') + "éééé"},
    };
    std::vector<std::vector<int16_t>> tracks;
    std::vector<std::string> titles{"The Disc"};
    for (const auto& c : cases) {
        tracks.push_back(CdTone(75, 441.0));
        titles.push_back(c.written);
    }
    tracks.push_back(CdTone(75, 441.0));  // and a track without a title
    Cd().Open(0, Cd().AddImage(test::WriteCdImage(dir, "titled", tracks, titles)));
    ASSERT_TRUE(Cd().IsOpen(0)) << Cd().LastError(0);
    EXPECT_EQ(Cd().Title(0, 0), "The Disc");
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Cd().Title(0, static_cast<int>(i) + 1), cases[i].shown) << "track " << i + 1;
    }
    EXPECT_EQ(Cd().Title(0, static_cast<int>(tracks.size())), "");
    EXPECT_EQ(Cd().Title(0, 99), "");
    Cd().Close(0);
    EXPECT_EQ(Cd().Title(0, 0), "") << "closed";
}

namespace {
// A drive that holds its reader up until the test lets it go.
Event driveReleased{Event::Manual, false};
std::atomic<int> readsHeld{0};
std::atomic<int> readsLetGo{0};
void HoldTheRead() {
    ++readsHeld;
    driveReleased.Wait();
    ++readsLetGo;
}
}  // namespace

// A reader stuck in the drive is left behind: the deck plays another disc meanwhile, and when
// the drive lets the old reader go, it leaves without touching the deck's ring or position.
TEST_F(CdReading, AReaderTheDriveHoldsUpIsLeftBehindAndNeverTouchesTheDeckAgain) {
    driveReleased.Reset();
    readsHeld = 0;
    readsLetGo = 0;
    OpenImage();
    Cd().SetReadDelay(HoldTheRead);
    StartCdReader(1);
    ASSERT_TRUE(rig.PumpUntil([] { return readsHeld.load() == 1; }));
    EXPECT_FALSE(StopReader(1, ReaderKind::Cd, false, std::chrono::milliseconds(50)));
    Cd().AbandonReader(1);
    EXPECT_EQ(Cd().LastError(1), CdReader::kNoAnswer);
    Cd().Close(1);

    // The deck goes on with another disc while the old reader is still held.
    Cd().SetReadDelay(nullptr);
    const auto other = CdTone(300, 660);
    Cd().Open(1, Cd().AddImage(test::WriteCdImage(dir, "other", {other})));
    ASSERT_TRUE(Cd().IsOpen(1));
    StartCdReader(1);
    ASSERT_TRUE(rig.PumpUntil([] { return deckEvents[1].threadCdReadForwardDone.IsSet(); }));
    const uint32_t writeIndex = deckRing[1].writeIndex.load();
    const uint32_t position = Cd().ReadPosition(1);

    driveReleased.Set();
    ASSERT_TRUE(rig.PumpUntil([] { return readsLetGo.load() == 1; }));
    // Time for a stray write to land.
    rig.PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(std::memcmp(deckRing[1].data, other.data(), other.size() * 2), 0);
    EXPECT_EQ(deckRing[1].writeIndex.load(), writeIndex);
    EXPECT_EQ(Cd().ReadPosition(1), position);
    EXPECT_EQ(readsHeld.load(), 1);
}
