#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "core/EngineState.h"
#include "platform/WorkerThread.h"

namespace tev {

enum class ReaderKind { File, Cd };

// The producer side of a deck's ring, run by the deck's file or CD reader thread.
//
// A reader clears the ring, then loops: wait for "Disc Read Forward Event", count the free
// chunks, fill that many in order from `writeIndex`. After the 121st chunk it has filled (in a
// healthy first batch, the 121st chunk of that batch) it reports the deck primed, once; from then
// on it resets the event after every chunk, so that wake-ups arriving during a batch fold into
// it. The consumer wakes it every 27 chunks taken.
//
// Priming counts filled chunks across batches, so that failed reads in the first batch delay
// priming instead of preventing it; a batch that fills nothing waits for the next wake-up instead
// of spinning on an event nobody has reset; and a wake-up folded during a batch is honoured by
// one more count right after it, because the chunks it freed were not in the batch's count.
class RingProducer {
  public:
    // Filled chunks after which the ring counts as primed.
    static constexpr int kPrimingChunks = 121;

    RingProducer(int deck, ReaderKind kind) noexcept;

    DeckRing& ring() const noexcept { return deckRing[deck_]; }
    bool IsRunning() const noexcept { return running_.load() == 1; }

    // [reader thread] Clears every chunk, rewinds the write position and lets the first wait
    // return at once.
    void Begin();
    // [reader thread] Waits for work; the number of free chunks, or -1 when the reader is to leave.
    int WaitForBatch() noexcept;
    // [reader thread] Hands chunk `index` to the consumer with its source and CD track.
    void Publish(uint32_t index, const ChunkSource& source, uint32_t position);
    // [reader thread] After a chunk has been published and announced: reports the ring primed
    // after the 121st chunk, and folds pending wake-ups.
    void ApplyPrimingRule();
    // [reader thread] The source ended with the chunk just published: a track shorter than the
    // priming amount is complete in the ring, so it is ready to play now.
    void PrimeAtEnd();
    // [reader thread] After a batch: look again at once if a wake-up was folded into it, sleep
    // until the next one if the batch filled nothing.
    void FinishBatch(int filled) noexcept;
    // [reader thread] Last action of the reader: no such reader runs for the deck any more.
    void End() noexcept;

  private:
    const int deck_;
    std::atomic<uint32_t>& running_;
    Event& done_;
    const ReaderKind kind_;
    int filledSinceBegin_ = 0;
    bool primed_ = false;
    bool folded_ = false;
};

// A source that delivers one chunk per read, such as a decoded file.
class ChunkReader {
  public:
    struct Result {
        bool filled = false;       // the chunk holds audio (a failed read leaves it free)
        bool endOfStream = false;  // the source ended with this chunk and nothing continues it
    };
    virtual ~ChunkReader() = default;
    // [reader thread] Fills exactly one chunk of kChunkBytes.
    virtual Result ReadChunk(uint8_t* chunk) = 0;
    // [reader thread] Where the last chunk came from (after a continuation, the new file).
    virtual const ChunkSource& Source() const = 0;
};

// [reader thread] The whole producer for a chunk-per-read source: fills the deck's ring until it
// is stopped or the source ends. Sends WM_CHUNK_FILLED after every chunk. A source that ends
// reports the ring primed with its last chunk if it had not yet, so a short track plays too.
void ProduceChunks(int deck, ChunkReader& reader);

// [UI thread] Marks the deck's reader of that kind as running (its done event clear) and starts
// `body` on a new thread. Marking before the thread exists means a stop issued right after the
// start always waits for the thread.
WorkerThread StartReader(int deck, ReaderKind kind, std::function<void()> body);

// [UI thread] Stops the deck's reader of that kind if it runs: clears "Deck Ready To Play Event",
// wakes the reader and waits for it while dispatching messages. With `updateDisplay` the main
// window is told the reader stopped (WM_DECK_READER_STATE, lParam 0). False when the reader has
// not stopped within `timeout`: it is still running, and will stop when it looks.
bool StopReader(int deck, ReaderKind kind, bool updateDisplay,
                std::chrono::milliseconds timeout = kWaitForever);

}  // namespace tev
