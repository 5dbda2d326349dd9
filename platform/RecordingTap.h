#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tev {

class SoundDevice;

// The one conversion of the mix's floats to 16-bit samples, for every lossless recording: the
// mix is clamped to -1 ... 1 already; rounding keeps the error within half a step.
inline int16_t RecordingSample(float v) noexcept {
    return static_cast<int16_t>(std::lrint(static_cast<double>(v) * 32767.0));
}

// A lock-free single-producer, single-consumer FIFO of interleaved stereo float frames between
// the audio thread (which pushes an output's clamped mix) and a recording's writer thread. A block
// that does not fit is dropped whole and counted: the recording gets a gap, the sound never
// waits. Gaps travel in a queue of their own, each placed before the first frame after it.
class RecordingTap {
  public:
    struct Gap {
        uint64_t at = 0;    // frames pushed before the gap
        uint64_t lost = 0;  // frames dropped in it
        bool deviceChange = false;
    };

    // Room for at least `capacityFrames` frames (rounded up to a power of two).
    explicit RecordingTap(uint32_t capacityFrames);
    RecordingTap(const RecordingTap&) = delete;
    RecordingTap& operator=(const RecordingTap&) = delete;

    // [producer: the audio thread of the device that holds the tap] Never blocks or allocates.
    void Push(const float* stereo, int frames) noexcept;
    // [producer, or the UI thread while no device holds the tap] The next frame follows a device
    // change.
    void MarkDeviceChange() noexcept { pendingDeviceChange_ = true; }

    // [consumer] Frames ready to pop. Read it before PeekGap: a gap is published before the
    // frames that follow it.
    uint64_t Available() const noexcept;
    // [consumer] Copies `frames` (at most Available()) frames out.
    void Pop(float* stereo, uint64_t frames) noexcept;
    uint64_t popped() const noexcept { return read_.load(std::memory_order_relaxed); }
    // [consumer] The oldest unread gap, without removing it; false when there is none.
    bool PeekGap(Gap& gap) const noexcept;
    void DropGap() noexcept;

    // [any thread] Frames pushed and not yet popped.
    uint64_t Pending() const noexcept {
        const uint64_t r = read_.load(std::memory_order_acquire);
        return write_.load(std::memory_order_acquire) - r;
    }
    // [any thread] Frames dropped so far.
    uint64_t LostFrames() const noexcept { return lost_.load(std::memory_order_relaxed); }
    uint32_t capacity() const { return mask_ + 1; }

    // [UI thread] The device that holds the tap, kept by SoundDevice; nullptr when none does.
    SoundDevice* holder() const { return holder_; }

  private:
    friend class SoundDevice;
    // The audio thread's side must never fall back on a lock.
    static_assert(std::atomic<uint64_t>::is_always_lock_free &&
                  std::atomic<uint32_t>::is_always_lock_free);
    static constexpr uint32_t kGapSlots = 64;

    const uint32_t mask_;
    std::vector<float> frames_;
    std::atomic<uint64_t> write_{0};
    std::atomic<uint64_t> read_{0};
    std::array<Gap, kGapSlots> gaps_{};
    std::atomic<uint32_t> gapWrite_{0};
    std::atomic<uint32_t> gapRead_{0};
    std::atomic<uint64_t> lost_{0};
    // Producer only; handed from one device's audio thread to the next through the render epoch.
    uint64_t pendingLost_ = 0;
    bool pendingDeviceChange_ = false;
    SoundDevice* holder_ = nullptr;
};

}  // namespace tev
