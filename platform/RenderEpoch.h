#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/AudioThread.h"

namespace tev {

// Tells the UI thread when the audio thread can no longer be using an object it has just
// unhooked: the counter is odd while a render runs. Unhook first, then WaitUntilQuiet, then free.
//
// The unhook (a store), the counter read here, the counter's increment in Enter and the audio
// thread's load of the hook are all sequentially consistent: either the render's load sees the
// unhook, or this read sees the render's Enter. Weaker orders allow both to miss each other on
// machines other than x86.
class RenderEpoch {
  public:
    // [audio thread]
    void Enter() noexcept { counter_.fetch_add(1, std::memory_order_seq_cst); }
    void Leave() noexcept { counter_.fetch_add(1, std::memory_order_seq_cst); }

    // [any thread but the audio thread] Returns once no render that began before the call runs.
    // A render lasts a few milliseconds, so this spins briefly at most.
    void WaitUntilQuiet() const noexcept {
        TEV_NOT_ON_THE_AUDIO_THREAD();
        const uint64_t seen = counter_.load(std::memory_order_seq_cst);
        if ((seen & 1) == 0) {
            return;
        }
        while (counter_.load(std::memory_order_seq_cst) == seen) {
            std::this_thread::yield();
        }
    }

  private:
    std::atomic<uint64_t> counter_{0};
};

// Makes commands to several buffers of one card take effect in the same render block. Each
// command carries the number of the batch it belongs to; the audio thread applies a command
// once its batch is committed, and reads the committed number once per block. Outside a batch
// every command commits at once. [UI thread] everything but Committed.
class CommandClock {
  public:
    uint32_t Stamp() const { return pending_; }
    // Called after a command was stamped.
    void Issued() {
        dirty_ = true;
        if (holds_ == 0) {
            Commit();
        }
    }
    void Hold() { ++holds_; }
    void Release() {
        if (--holds_ == 0 && dirty_) {
            Commit();
        }
    }

    // [audio thread]
    uint32_t Committed() const noexcept { return committed_.load(std::memory_order_acquire); }

  private:
    void Commit() {
        committed_.store(pending_, std::memory_order_release);
        ++pending_;
        dirty_ = false;
    }

    std::atomic<uint32_t> committed_{0};
    uint32_t pending_ = 1;
    int holds_ = 0;
    bool dirty_ = false;
};

}  // namespace tev
