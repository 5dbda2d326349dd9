#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/EffectChain.h"
#include "platform/Event.h"
#include "platform/RenderEpoch.h"
#include "platform/StatusCodes.h"

namespace tev {

// A stream buffer of 16-bit stereo sound that its device plays, looping or once, mixed with the
// device's other buffers: the counterpart of a secondary sound buffer.
//
// The UI thread writes sound, starts, stops and sets parameters; the audio thread plays it.
// Parameters reach the audio thread through atomics and are ramped there, so no change clicks.
// Notification positions set an Event when the play cursor passes them, from the audio thread.
class SoundBuffer {
  public:
    static constexpr int32_t kVolumeMin = -10000;  // hundredths of a decibel: silence
    static constexpr int32_t kVolumeMax = 0;
    static constexpr int32_t kPanLeft = -10000;
    static constexpr int32_t kPanRight = 10000;
    static constexpr uint32_t kFrequencyMin = 100;
    static constexpr uint32_t kFrequencyMax = 200000;
    static constexpr uint32_t kStatusPlaying = 1;
    static constexpr uint32_t kStatusLooping = 4;

    struct Notification {
        uint32_t offset;  // byte offset: the event is set once the cursor has passed it
        Event* event;
    };

    SoundBuffer(uint32_t bytes, uint32_t sampleRate, const RenderEpoch& epoch);
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    uint32_t Size() const { return bytes_; }

    // [UI thread] Copies sound in at a byte offset (wrapping at the end). The region written
    // should not be the one playing.
    HRESULT Write(uint32_t offset, const void* data, uint32_t bytes);
    HRESULT Play(bool looping);
    HRESULT Stop();
    uint32_t Status() const;
    bool IsPlaying() const { return (Status() & kStatusPlaying) != 0; }
    // Byte offset of the sound being played (a multiple of 4).
    uint32_t GetCurrentPosition() const;
    HRESULT SetCurrentPosition(uint32_t offset);
    HRESULT SetVolume(int32_t volume);  // -10,000 ... 0
    int32_t GetVolume() const { return volume_.load(std::memory_order_relaxed); }
    HRESULT SetPan(int32_t pan);  // -10,000 ... 10,000
    int32_t GetPan() const { return pan_.load(std::memory_order_relaxed); }
    HRESULT SetFrequency(uint32_t hz);  // 100 ... 200,000; 0 restores the buffer's own rate
    uint32_t GetFrequency() const { return frequency_.load(std::memory_order_relaxed); }
    // Only before the buffer first plays, like the notifications of a sound buffer.
    HRESULT SetNotificationPositions(std::span<const Notification> positions);
    // Replaces the effects; the old chain is deleted here once the audio thread has let go.
    void SetEffectChain(std::unique_ptr<EffectChain> chain);

    // [audio thread] Adds this buffer's sound, resampled to deviceRate, into `out` (interleaved
    // stereo floats). `scratch` holds at least 2 * frames floats.
    void MixInto(float* out, int frames, uint32_t deviceRate, float* scratch) noexcept;

  private:
    static float Gain(int32_t hundredthsDb) noexcept;
    void TargetGains(float& left, float& right) const noexcept;
    void FireNotifications(uint32_t fromFrame, uint32_t toFrame, bool wrapped) noexcept;

    const uint32_t bytes_;
    const uint32_t frames_;
    const uint32_t ownRate_;
    const RenderEpoch& epoch_;
    std::unique_ptr<float[]> samples_;  // interleaved stereo, full scale at 1.0

    std::atomic<bool> playing_{false};
    std::atomic<bool> looping_{false};
    std::atomic<bool> everPlayed_{false};
    std::atomic<int32_t> volume_{0};
    std::atomic<int32_t> pan_{0};
    std::atomic<uint32_t> frequency_;
    // The audio thread's position, in frames and a fraction of one, published for the UI.
    std::atomic<uint32_t> cursorFrame_{0};
    // A position the UI thread asked for, taken by the audio thread at its next block.
    std::atomic<int64_t> requestedFrame_{-1};
    std::atomic<EffectChain*> chain_{nullptr};
    std::vector<Notification> notifications_;  // sorted by offset; fixed once played

    // Audio thread only. The play position in frames, 32.32 fixed point.
    uint64_t position_ = 0;
    float gainLeft_ = 0.0F;
    float gainRight_ = 0.0F;
    bool started_ = false;
};

}  // namespace tev
