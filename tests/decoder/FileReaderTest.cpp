#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/AppMessages.h"
#include "core/RingConsumer.h"
#include "core/RingProducer.h"
#include "decoder/DecoderRig.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"
#include "thread/TestRig.h"

using namespace tev;
using tev::test::EngineRig;
using tev::test::Fixture;

namespace {

class FileReader : public ::testing::Test {
  protected:
    ~FileReader() override {
        StopReader(1, ReaderKind::File, false);
        trackDecoder[1].Close();
    }

    // Takes every chunk the reader produces until it has left and the ring is empty.
    std::vector<int16_t> Drain(std::vector<std::string>* sources = nullptr) {
        std::vector<int16_t> out;
        RingConsumer consumer(1);
        consumer.Restart();
        for (;;) {
            RingConsumer::Chunk chunk;
            if (!consumer.Peek(chunk)) {
                const bool more = rig.PumpUntil([&] {
                    return consumer.Peek(chunk) || deckEvents[1].threadFileReadForwardDone.IsSet();
                });
                EXPECT_TRUE(more);
                if (!consumer.Peek(chunk)) {
                    return out;
                }
            }
            const auto* samples = reinterpret_cast<const int16_t*>(chunk.data);
            out.insert(out.end(), samples, samples + kChunkBytes / 2);
            if (sources != nullptr) {
                sources->push_back(chunk.source->path);
            }
            consumer.Release();
        }
    }

    EngineRig rig;
    test::TempDir temp;
    const std::string dir = temp.path;
};

}  // namespace

// The mixer's part of a continuation: at each end it names the next file, or nothing. A next file
// that does not open, or plays at another rate, is reported and the mixer may name another.
TEST_F(FileReader, FilesContinueWithoutAGapOrARepeatPassingOverThoseThatCannotFollow) {
    // Lengths that are no whole number of chunks.
    const auto first = test::NumberedFrames(3 * kChunkFrames + 1234, 2, 0);
    const auto second = test::NumberedFrames(2 * kChunkFrames + 77, 2, 1000);
    const std::string a = dir + "/a.wav";
    const std::string b = dir + "/b.wav";
    const std::string other = dir + "/48k.wav";
    test::WriteWav(a, 2, 16, 44100, test::Bytes(first));
    test::WriteWav(b, 2, 16, 44100, test::Bytes(second));
    test::WriteWav(other, 2, 16, 48000, test::Bytes(second));

    const std::vector<std::string> named{dir + "/missing.wav", other, b, other};
    std::vector<LPARAM> reasons;
    rig.mixer.onMessage = [&](uint32_t msg, WPARAM deck, LPARAM why) {
        if (msg == WM_TRACK_ENDED) {
            if (reasons.size() < named.size()) {
                trackDecoder[deck].ContinueWith(named[reasons.size()]);
            }
            reasons.push_back(why);
        }
        return LRESULT{0};
    };
    ASSERT_TRUE(OpenFileIntoDeck(1, a));
    StartFileReader(1);
    std::vector<std::string> sources;
    const auto out = Drain(&sources);

    std::vector<int16_t> expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    ASSERT_GE(out.size(), expected.size());
    EXPECT_EQ(std::memcmp(out.data(), expected.data(), expected.size() * 2), 0);
    for (size_t i = expected.size(); i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0) << "after the end";
    }
    EXPECT_EQ(out.size(), 6U * kChunkFrames * 2);
    EXPECT_EQ(reasons, (std::vector<LPARAM>{kTrackEnded, kNextTrackUnreadable, kNextTrackOtherRate,
                                            kTrackEnded, kNextTrackOtherRate}));
    ASSERT_EQ(sources.size(), 6U);
    EXPECT_EQ(sources[2], a);
    EXPECT_EQ(sources[3], b) << "the chunk completed by the next file carries its path";
    EXPECT_EQ(sources[5], b);
    for (uint32_t i = 0; i < kRingChunks; ++i) {
        EXPECT_EQ(deckRing[1].chunkPosition[i], kNoChunkPosition);
    }
    EXPECT_EQ(rig.mixer.Count(WM_DECK_PRIMED), 1) << "a short run is primed by its last chunk";
    EXPECT_FALSE(trackDecoder[1].IsOpen());
    EXPECT_EQ(trackDecoder[1].SampleRate(), 44100U)
        << "the rate of what sounds, not of the refused";
}

TEST(TrackInfo, TheLoaderReadsTitleAndLengthOfRealFiles) {
    TrackInfo info;
    ASSERT_TRUE(ReadTrackInfo(Fixture("sweep.ogg"), info));
    EXPECT_EQ(info.title, "Sweep Ogg Ünïcode");
    EXPECT_NEAR(info.seconds, 3.0, 0.1);
    EXPECT_FALSE(ReadTrackInfo(Fixture("text.wav"), info));
}
