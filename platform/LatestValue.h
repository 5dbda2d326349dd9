#pragma once

#include <atomic>
#include <type_traits>

namespace tev {

// The newest of a value that one thread publishes and one other thread takes, with neither a
// lock nor a wait: three slots, one the writer fills, one the reader holds, and one between them
// that each side swaps with its own. A value published twice before a take is taken once, as the
// newer; the reader never sees a slot the writer is filling.
template <class T>
class LatestValue {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    // [writer thread]
    void Publish(const T& value) noexcept {
        slots_[back_] = value;
        back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex;
    }

    // [reader thread] The newest value into `out`, when one was published since the last take.
    bool Take(T& out) noexcept {
        if ((middle_.load(std::memory_order_relaxed) & kFresh) == 0) {
            return false;
        }
        front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
        out = slots_[front_];
        return true;
    }

  private:
    static constexpr int kIndex = 3;
    static constexpr int kFresh = 4;

    T slots_[3]{};
    std::atomic<int> middle_{1};
    int back_ = 0;   // writer only
    int front_ = 2;  // reader only
};

}  // namespace tev
