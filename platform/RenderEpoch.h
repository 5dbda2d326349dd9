#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace tev {

// Tells the UI thread when the audio thread can no longer be using an object it has just
// unhooked: the counter is odd while a render runs. Unhook first, then WaitUntilQuiet, then free.
class RenderEpoch {
  public:
    // [audio thread]
    void Enter() noexcept { counter_.fetch_add(1, std::memory_order_acq_rel); }
    void Leave() noexcept { counter_.fetch_add(1, std::memory_order_acq_rel); }

    // [any thread but the audio thread] Returns once no render that began before the call runs.
    // A render lasts a few milliseconds, so this spins briefly at most.
    void WaitUntilQuiet() const noexcept {
        const uint64_t seen = counter_.load(std::memory_order_acquire);
        if ((seen & 1) == 0) {
            return;
        }
        while (counter_.load(std::memory_order_acquire) == seen) {
            std::this_thread::yield();
        }
    }

  private:
    std::atomic<uint64_t> counter_{0};
};

}  // namespace tev
