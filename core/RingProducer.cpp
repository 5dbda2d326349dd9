#include "core/RingProducer.h"

#include <utility>

#include "core/AppMessages.h"

namespace tev {
namespace {

std::atomic<uint32_t>& RunningFlag(int deck, ReaderKind kind) {
    return kind == ReaderKind::File ? fileReaderRunning[deck] : cdReaderRunning[deck];
}

Event& DoneEvent(int deck, ReaderKind kind) {
    return kind == ReaderKind::File ? deckEvents[deck].threadFileReadForwardDone
                                    : deckEvents[deck].threadCdReadForwardDone;
}

}  // namespace

RingProducer::RingProducer(int deck, ReaderKind kind) noexcept
    : deck_(deck), running_(RunningFlag(deck, kind)), done_(DoneEvent(deck, kind)), kind_(kind) {}

void RingProducer::Begin() {
    // StartReader has already cleared the done event and raised the running flag.
    DeckRing& r = ring();
    for (uint32_t i = 0; i < kRingChunks; ++i) {
        r.chunkFilled[i].exchange(0);
        r.chunkPosition[i] = kNoChunkPosition;
        r.chunkSource[i].Clear();
    }
    r.writeIndex.store(0);
    if (kind_ == ReaderKind::Cd) {
        r.cdFillOffset.store(0);
    }
    filledSinceBegin_ = 0;
    primed_ = false;
    deckEvents[deck_].discReadForward.Set();
}

int RingProducer::WaitForBatch() noexcept {
    if (!IsRunning()) {
        return -1;
    }
    deckEvents[deck_].discReadForward.Wait();
    if (!IsRunning()) {
        return -1;
    }
    int free = 0;
    const DeckRing& r = ring();
    for (uint32_t i = 0; i < kRingChunks; ++i) {
        if (r.chunkFilled[i].load() == 0) {
            ++free;
        }
    }
    return free;
}

void RingProducer::Publish(uint32_t index, const ChunkSource& source, uint32_t position) {
    DeckRing& r = ring();
    r.chunkSource[index] = source;
    r.chunkPosition[index] = position;
    r.chunkFilled[index].exchange(1);
}

void RingProducer::ApplyPrimingRule() {
    Event& wake = deckEvents[deck_].discReadForward;
    if (!primed_ && ++filledSinceBegin_ == kPrimingChunks) {
        wake.Reset();
        SendAppMessage(hMixerWnd, WM_DECK_PRIMED, static_cast<WPARAM>(deck_));
        primed_ = true;
    }
    if (primed_ && wake.Reset()) {
        folded_ = true;
    }
}

void RingProducer::PrimeAtEnd() {
    if (!primed_) {
        SendAppMessage(hMixerWnd, WM_DECK_PRIMED, static_cast<WPARAM>(deck_));
        primed_ = true;
    }
}

void RingProducer::FinishBatch(int filled) noexcept {
    Event& wake = deckEvents[deck_].discReadForward;
    if (folded_) {
        folded_ = false;
        wake.Set();
    } else if (filled == 0) {
        wake.Reset();
    }
}

void RingProducer::End() noexcept {
    done_.Set();
}

void ProduceChunks(int deck, ChunkReader& reader) {
    RingProducer producer(deck, ReaderKind::File);
    DeckRing& ring = producer.ring();
    producer.Begin();
    for (;;) {
        const int n = producer.WaitForBatch();
        if (n < 0) {
            break;
        }
        bool leave = false;
        int filled = 0;
        for (int k = 0; k < n && !leave; ++k) {
            if (!producer.IsRunning()) {
                leave = true;
                break;
            }
            const uint32_t w = ring.writeIndex.load();
            const ChunkReader::Result result = reader.ReadChunk(ring.Chunk(w));
            if (!result.filled) {
                continue;  // the chunk stays free and counts as one of the n attempts
            }
            producer.Publish(w, reader.Source(), kNoChunkPosition);
            SendAppMessage(hMixerWnd, WM_CHUNK_FILLED, static_cast<WPARAM>(deck));
            if (result.endOfStream) {
                producer.PrimeAtEnd();
                leave = true;
                break;
            }
            producer.ApplyPrimingRule();
            ring.writeIndex.store((w + 1) % kRingChunks);
            ++filled;
        }
        if (leave) {
            break;
        }
        producer.FinishBatch(filled);
    }
    producer.End();
}

WorkerThread StartReader(int deck, ReaderKind kind, std::function<void()> body) {
    DoneEvent(deck, kind).Reset();
    RunningFlag(deck, kind).exchange(1);
    const char* name = kind == ReaderKind::File ? "FileRead" : "CdRead";
    return WorkerThread::Start(std::string(name) + (deck == 0 ? "A" : "B"), kPriorityAboveNormal,
                               std::move(body));
}

bool StopReader(int deck, ReaderKind kind, bool updateDisplay, std::chrono::milliseconds timeout) {
    std::atomic<uint32_t>& running = RunningFlag(deck, kind);
    if (running.load() != 1) {
        return true;
    }
    deckEvents[deck].deckReadyToPlay.Reset();
    running.exchange(0);
    deckEvents[deck].discReadForward.Set();
    const bool stopped = WaitPumping(DoneEvent(deck, kind), timeout);
    if (updateDisplay) {
        SendAppMessage(hMainWnd, WM_DECK_READER_STATE, static_cast<WPARAM>(deck), 0);
    }
    return stopped;
}

}  // namespace tev
