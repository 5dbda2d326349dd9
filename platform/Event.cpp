#include "platform/Event.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <ctime>

#include "platform/AudioThread.h"

namespace tev {
namespace {

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

// Sleeps while *word is still `expected`, at most `timeout` (none: no limit). Spurious returns
// are fine: every caller checks its condition again.
void FutexWait(std::atomic<uint32_t>& word, uint32_t expected, const timespec* timeout) noexcept {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, timeout,
            nullptr, 0);
}

void FutexWakeAll(std::atomic<uint32_t>& word) noexcept {
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr,
            nullptr, 0);
}

}  // namespace

Event::Event(Mode mode, bool initiallySet) noexcept : mode_(mode), state_(initiallySet ? 1U : 0U) {}

void Event::Set() noexcept {
    state_.store(1, std::memory_order_seq_cst);
    // A waiter registers before it checks the state, so either it sees the 1 or we see it here.
    if (waiters_.load(std::memory_order_seq_cst) != 0) {
        FutexWakeAll(state_);
    }
}

bool Event::Reset() noexcept {
    return state_.exchange(0, std::memory_order_seq_cst) != 0;
}

bool Event::IsSet() const noexcept {
    return state_.load(std::memory_order_acquire) != 0;
}

void Event::Restore(bool initiallySet) noexcept {
    state_.store(initiallySet ? 1U : 0U, std::memory_order_seq_cst);
}

bool Event::Consume() noexcept {
    if (mode_ == Manual) {
        return state_.load(std::memory_order_acquire) != 0;
    }
    uint32_t expected = 1;
    return state_.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

bool Event::TryWait() noexcept {
    return Consume();
}

void Event::Wait() noexcept {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    if (Consume()) {
        return;
    }
    waiters_.fetch_add(1, std::memory_order_seq_cst);
    while (!Consume()) {
        FutexWait(state_, 0, nullptr);
    }
    waiters_.fetch_sub(1, std::memory_order_seq_cst);
}

bool Event::WaitFor(std::chrono::nanoseconds timeout) noexcept {
    TEV_NOT_ON_THE_AUDIO_THREAD();
    if (Consume()) {
        return true;
    }
    if (timeout <= std::chrono::nanoseconds::zero()) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    waiters_.fetch_add(1, std::memory_order_seq_cst);
    bool signalled = false;
    for (;;) {
        if (Consume()) {
            signalled = true;
            break;
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds::zero()) {
            break;
        }
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns / 1'000'000'000),
                          static_cast<long>(ns % 1'000'000'000)};
        FutexWait(state_, 0, &ts);
    }
    waiters_.fetch_sub(1, std::memory_order_seq_cst);
    return signalled;
}

}  // namespace tev
