#include "core/RingConsumer.h"

namespace tev {

void RingConsumer::Restart() noexcept {
    deckRing[deck_].readIndex.store(0);
    taken_ = 0;
}

bool RingConsumer::Peek(Chunk& out) const noexcept {
    const DeckRing& ring = deckRing[deck_];
    const uint32_t r = ring.readIndex.load();
    if (ring.chunkFilled[r].load() == 0) {
        return false;
    }
    out.data = ring.Chunk(r);
    out.position = ring.chunkPosition[r];
    out.source = &ring.chunkSource[r];
    return true;
}

void RingConsumer::Release() noexcept {
    DeckRing& ring = deckRing[deck_];
    const uint32_t r = ring.readIndex.load();
    if (ring.chunkFilled[r].exchange(0) == 0) {
        return;  // nothing was peeked: an underrun step releases nothing
    }
    ring.readIndex.store((r + 1) % kRingChunks);
    if (++taken_ >= kChunksPerWake) {
        deckEvents[deck_].discReadForward.Set();
        taken_ = 0;
    }
}

}  // namespace tev
