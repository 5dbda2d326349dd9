#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <list>
#include <thread>

#include "core/AppMessages.h"
#include "core/RingConsumer.h"
#include "core/RingProducer.h"
#include "thread/TestRig.h"

using namespace std::chrono_literals;
using namespace tev;
using tev::test::EngineRig;

namespace {

// Fills each chunk with its sequence number, so that order and integrity can be checked.
class CountingReader : public ChunkReader {
  public:
    explicit CountingReader(int endAfter = -1, int failEvery = 0)
        : endAfter_(endAfter), failEvery_(failEvery) {}

    Result ReadChunk(uint8_t* chunk) override {
        const int attempt = attempts_++;
        if (failEvery_ > 0 && attempt % failEvery_ == failEvery_ - 1) {
            return {false, false};
        }
        const uint32_t sequence = produced_++;
        for (uint32_t i = 0; i < kChunkBytes / 4; ++i) {
            std::memcpy(chunk + 4 * i, &sequence, 4);
        }
        return {true, endAfter_ >= 0 && static_cast<int>(produced_) == endAfter_};
    }
    const ChunkSource& Source() const override { return source_; }

  private:
    ChunkSource source_{"/music/counting.wav", "Counting", 60.0};
    int attempts_ = 0;
    uint32_t produced_ = 0;
    int endAfter_;
    int failEvery_;
};

uint32_t SequenceOf(const uint8_t* chunk) {
    uint32_t first = 0;
    uint32_t last = 0;
    std::memcpy(&first, chunk, 4);
    std::memcpy(&last, chunk + kChunkBytes - 4, 4);
    EXPECT_EQ(first, last) << "chunk torn";
    return first;
}

class RingProtocol : public ::testing::Test {
  protected:
    RingProtocol() {
        // Counts the filled chunks the moment the deck is reported primed.
        rig.mixer.onMessage = [this](uint32_t msg, WPARAM deck, LPARAM) {
            if (msg == WM_DECK_PRIMED) {
                filledWhenPrimed = EngineRig::FilledChunks(static_cast<int>(deck));
            }
            return LRESULT{0};
        };
    }
    ~RingProtocol() override {
        StopReader(0, ReaderKind::File, false);
        StopReader(1, ReaderKind::File, false);
    }

    // The readers live as long as the fixture, which stops their threads first.
    void StartFileReader(int deck, int endAfter = -1, int failEvery = 0) {
        CountingReader& reader = readers.emplace_back(endAfter, failEvery);
        StartReader(deck, ReaderKind::File, [deck, &reader] { ProduceChunks(deck, reader); });
    }

    // Pumps until the reader has announced `chunks` chunks in all and finished its batch: the
    // write position moves on only after a chunk's announcement and the priming rule.
    bool PumpUntilReaderIdle(int deck, int chunks) {
        return rig.PumpUntil([&] {
            return rig.mixer.Count(WM_CHUNK_FILLED) == chunks &&
                   deckRing[deck].writeIndex.load() == static_cast<uint32_t>(chunks) % kRingChunks;
        });
    }

    std::list<CountingReader> readers;
    EngineRig rig;
    int filledWhenPrimed = -1;
};

}  // namespace

TEST_F(RingProtocol, FreshReaderFillsTheRingAndReportsPrimedOnceAfterThe121stChunk) {
    StartFileReader(1);
    ASSERT_TRUE(PumpUntilReaderIdle(1, 170));
    std::this_thread::sleep_for(20ms);
    rig.pump.DispatchAll();

    EXPECT_EQ(rig.mixer.Count(WM_DECK_PRIMED), 1);
    EXPECT_EQ(filledWhenPrimed, 121);
    EXPECT_EQ(rig.mixer.Count(WM_CHUNK_FILLED), 170);
    EXPECT_FALSE(deckEvents[1].discReadForward.IsSet());
    EXPECT_EQ(rig.mixer.offUiThread.load(), 0);
    for (const auto& m : rig.mixer.Messages()) {
        EXPECT_EQ(m.wParam, 1U);
    }
    for (uint32_t i = 0; i < kRingChunks; ++i) {
        EXPECT_EQ(deckRing[1].chunkPosition[i], kNoChunkPosition);
        EXPECT_EQ(deckRing[1].chunkSource[i].path, "/music/counting.wav");
        EXPECT_EQ(deckRing[1].chunkSource[i].title, "Counting");
        EXPECT_EQ(SequenceOf(deckRing[1].Chunk(i)), i);
    }

    // Deck A was never touched by Deck B's reader.
    EXPECT_EQ(EngineRig::FilledChunks(0), 0);
    EXPECT_TRUE(deckRing[0].chunkSource[0].path.empty());
    EXPECT_FALSE(deckEvents[0].discReadForward.IsSet());
    EXPECT_TRUE(deckEvents[0].threadFileReadForwardDone.IsSet());
    EXPECT_EQ(fileReaderRunning[0].load(), 0U);
}

TEST_F(RingProtocol, ConsumerTakesInOrderAndWakesTheReaderOnceEvery27Chunks) {
    StartFileReader(1);
    ASSERT_TRUE(PumpUntilReaderIdle(1, 170));

    RingConsumer consumer(1);
    consumer.Restart();
    uint32_t expected = 0;
    for (int i = 0; i < 26; ++i) {
        RingConsumer::Chunk chunk;
        ASSERT_TRUE(consumer.Peek(chunk));
        EXPECT_EQ(SequenceOf(chunk.data), expected++);
        consumer.Release();
    }
    EXPECT_FALSE(deckEvents[1].discReadForward.IsSet()) << "woken before 27 chunks";
    std::this_thread::sleep_for(20ms);
    rig.pump.DispatchAll();
    EXPECT_EQ(EngineRig::FilledChunks(1), 170 - 26);

    RingConsumer::Chunk chunk;
    ASSERT_TRUE(consumer.Peek(chunk));
    consumer.Release();  // the 27th
    ++expected;
    ASSERT_TRUE(PumpUntilReaderIdle(1, 170 + 27));
    EXPECT_EQ(EngineRig::FilledChunks(1), 170);
    EXPECT_EQ(rig.mixer.Count(WM_DECK_PRIMED), 1);

    // Everything comes out in order across the ring's end.
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(consumer.Peek(chunk));
        EXPECT_EQ(SequenceOf(chunk.data), expected++);
        consumer.Release();
        rig.pump.DispatchAll();
        if (!consumer.Peek(chunk)) {
            ASSERT_TRUE(rig.PumpUntil([&] { return consumer.Peek(chunk); }));
        }
    }
}

TEST_F(RingProtocol, ConsumerAtAFreeChunkUnderrunsWithoutAdvancing) {
    RingConsumer consumer(0);
    consumer.Restart();
    RingConsumer::Chunk chunk;
    EXPECT_FALSE(consumer.Peek(chunk));
    consumer.Release();
    EXPECT_EQ(deckRing[0].readIndex.load(), 0U);
    EXPECT_EQ(consumer.chunksSinceWake(), 0U);
    EXPECT_FALSE(deckEvents[0].discReadForward.IsSet());
}

TEST_F(RingProtocol, StoppingAReaderBlockedInItsWaitReturnsPromptly) {
    StartFileReader(0);
    ASSERT_TRUE(PumpUntilReaderIdle(0, 170));
    deckEvents[0].deckReadyToPlay.Set();

    const auto start = std::chrono::steady_clock::now();
    StopReader(0, ReaderKind::File, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(deckEvents[0].threadFileReadForwardDone.IsSet());
    EXPECT_FALSE(deckEvents[0].deckReadyToPlay.IsSet());
    EXPECT_EQ(fileReaderRunning[0].load(), 0U);
    const auto shown = rig.mainWindow.Messages();
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0].msg, WM_DECK_READER_STATE);
    EXPECT_EQ(shown[0].wParam, 0U);
    EXPECT_EQ(shown[0].lParam, 0);
    // Stopping leaves the chunks as they are.
    EXPECT_EQ(EngineRig::FilledChunks(0), 170);

    // A new reader clears the done event before it even runs, and clears the ring.
    StartFileReader(0, /*endAfter=*/5);
    EXPECT_FALSE(deckEvents[0].threadFileReadForwardDone.IsSet());
    ASSERT_TRUE(rig.PumpUntil([] { return deckEvents[0].threadFileReadForwardDone.IsSet(); }));
    EXPECT_EQ(EngineRig::FilledChunks(0), 5);
}

TEST_F(RingProtocol, AStopRightAfterTheStartIsNeverLost) {
    for (int i = 0; i < 20; ++i) {
        StartFileReader(1);
        StopReader(1, ReaderKind::File, false);
        EXPECT_TRUE(deckEvents[1].threadFileReadForwardDone.IsSet());
    }
}

TEST_F(RingProtocol, FailedReadsLeaveChunksFreeAndOnlyDelayPriming) {
    // One attempt in ten fails: the first batch of 170 attempts fills 153 chunks.
    StartFileReader(1, /*endAfter=*/-1, /*failEvery=*/10);
    ASSERT_TRUE(PumpUntilReaderIdle(1, 153));
    EXPECT_EQ(rig.mixer.Count(WM_DECK_PRIMED), 1);
    EXPECT_EQ(filledWhenPrimed, 121);
    EXPECT_EQ(EngineRig::FilledChunks(1), 153);
    // No gaps: failed attempts did not advance the write position.
    for (uint32_t i = 0; i < 153; ++i) {
        EXPECT_EQ(SequenceOf(deckRing[1].Chunk(i)), i);
    }
}

namespace {

class FailingReader : public ChunkReader {
  public:
    Result ReadChunk(uint8_t*) override {
        ++attempts;
        return {false, false};
    }
    const ChunkSource& Source() const override { return source_; }
    std::atomic<int> attempts{0};
    ChunkSource source_{"broken", {}, 0.0};
};

}  // namespace

TEST_F(RingProtocol, AReaderWhoseReadsAllFailSleepsInsteadOfSpinning) {
    FailingReader reader;
    StartReader(0, ReaderKind::File, [&reader] { ProduceChunks(0, reader); });
    ASSERT_TRUE(rig.PumpUntil([&] { return reader.attempts.load() >= 170; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(reader.attempts.load(), 170);
    StopReader(0, ReaderKind::File, false);
    EXPECT_TRUE(deckEvents[0].threadFileReadForwardDone.IsSet());
}
