#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace tev {

// A signalling event with manual or automatic reset, in the manner of the events every worker
// thread of the engine waits on.
//
// Set() never locks or allocates, so the audio callback may signal notification positions with
// it: it is one atomic store and, only when somebody waits, one futex wake.
// A manual-reset event stays set until Reset(); an automatic-reset event is consumed by the one
// Wait that returns because of it.
class Event {
  public:
    enum Mode { Manual, Auto };

    Event(Mode mode, bool initiallySet) noexcept;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    // [any thread, audio thread included] Never blocks.
    void Set() noexcept;
    // [any thread] True when the event was set.
    bool Reset() noexcept;
    // [any thread] True when set; consumes the signal of an automatic-reset event.
    bool TryWait() noexcept;
    // [any thread] Blocks until set.
    void Wait() noexcept;
    // [any thread] Blocks until set or until the timeout has passed; true when set.
    bool WaitFor(std::chrono::nanoseconds timeout) noexcept;
    // [any thread] The state at this moment, without consuming it.
    bool IsSet() const noexcept;

    // Puts the event back into the state it was created in.
    void Restore(bool initiallySet) noexcept;

  private:
    bool Consume() noexcept;

    const Mode mode_;
    std::atomic<uint32_t> state_;
    std::atomic<uint32_t> waiters_{0};
};

}  // namespace tev
