#include "platform/RecordingTap.h"

#include <algorithm>
#include <bit>

namespace tev {

RecordingTap::RecordingTap(uint32_t capacityFrames)
    : mask_(std::bit_ceil(std::max(capacityFrames, 2U)) - 1),
      frames_(2 * (static_cast<size_t>(mask_) + 1)) {}

void RecordingTap::Push(const float* stereo, int frames) noexcept {
    const auto n = static_cast<uint64_t>(frames);
    const uint64_t w = write_.load(std::memory_order_relaxed);
    const uint64_t room = capacity() - (w - read_.load(std::memory_order_acquire));
    const bool gapPending = pendingLost_ != 0 || pendingDeviceChange_;
    const uint32_t gw = gapWrite_.load(std::memory_order_relaxed);
    const bool gapRoom = gw - gapRead_.load(std::memory_order_acquire) < kGapSlots;
    if (n > room || (gapPending && !gapRoom)) {
        pendingLost_ += n;
        lost_.fetch_add(n, std::memory_order_relaxed);
        return;
    }
    if (gapPending) {
        gaps_[gw % kGapSlots] = Gap{w, pendingLost_, pendingDeviceChange_};
        gapWrite_.store(gw + 1, std::memory_order_release);
        pendingLost_ = 0;
        pendingDeviceChange_ = false;
    }
    const auto start = static_cast<size_t>(w & mask_);
    const size_t first = std::min<size_t>(n, capacity() - start);
    std::copy_n(stereo, 2 * first, frames_.data() + 2 * start);
    std::copy_n(stereo + 2 * first, 2 * (n - first), frames_.data());
    write_.store(w + n, std::memory_order_release);
}

uint64_t RecordingTap::Available() const noexcept {
    return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_relaxed);
}

void RecordingTap::Pop(float* stereo, uint64_t frames) noexcept {
    const uint64_t r = read_.load(std::memory_order_relaxed);
    const auto start = static_cast<size_t>(r & mask_);
    const size_t first = std::min<size_t>(frames, capacity() - start);
    std::copy_n(frames_.data() + 2 * start, 2 * first, stereo);
    std::copy_n(frames_.data(), 2 * (frames - first), stereo + 2 * first);
    read_.store(r + frames, std::memory_order_release);
}

bool RecordingTap::PeekGap(Gap& gap) const noexcept {
    const uint32_t r = gapRead_.load(std::memory_order_relaxed);
    if (gapWrite_.load(std::memory_order_acquire) == r) {
        return false;
    }
    gap = gaps_[r % kGapSlots];
    return true;
}

void RecordingTap::DropGap() noexcept {
    gapRead_.store(gapRead_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

}  // namespace tev
