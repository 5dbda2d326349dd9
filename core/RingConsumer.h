#pragma once

#include <cstdint>
#include <string>

#include "core/EngineState.h"

namespace tev {

// The consumer side of a deck's ring: forward streaming takes one chunk per step. [UI thread]
class RingConsumer {
  public:
    // The reader is woken once for this many chunks taken (about 1.8 s at 44,100 Hz).
    static constexpr uint32_t kChunksPerWake = 27;

    struct Chunk {
        const uint8_t* data = nullptr;  // kChunkBytes of audio
        uint32_t position = kNoChunkPosition;
        const ChunkSource* source = nullptr;
    };

    explicit RingConsumer(int deck) noexcept : deck_(deck) {}

    // Starts taking from the first chunk again (the deck was primed).
    void Restart() noexcept;
    // The chunk at `readIndex`, or false on an underrun: the chunk is still free, the step must
    // produce silence, and the read position stays where it is.
    bool Peek(Chunk& out) const noexcept;
    // After the peeked chunk has been used: frees it, moves on, and wakes the reader every
    // kChunksPerWake chunks.
    void Release() noexcept;

    uint32_t chunksSinceWake() const noexcept { return taken_; }
    // Starts counting towards the next wake-up afresh.
    void ResetWakeCount() noexcept { taken_ = 0; }

  private:
    int deck_;
    uint32_t taken_ = 0;
};

}  // namespace tev
