#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/EffectChain.h"
#include "platform/Event.h"
#include "platform/RenderEpoch.h"
#include "platform/SincResampler.h"
#include "platform/StatusCodes.h"

namespace tev {

// A stream buffer of 16-bit stereo sound that its device plays, looping or once, mixed with the
// device's other buffers: the counterpart of a secondary sound buffer.
//
// The UI thread writes sound, starts, stops and sets parameters; the audio thread plays it.
// Starts, stops and fades are commands that return at once: the audio thread carries them out,
// ramped per sample, so nothing clicks and no caller waits. Commands to buffers of one card
// issued inside a CommandClock batch take effect in the same render block. Parameters reach the
// audio thread through atomics and are ramped there. Notification positions set an Event when
// the play cursor passes them, from the audio thread.
//
// A buffer with a write fence plays only what has been written for the lap it is on: the writer
// publishes how far it has written (in frames since the writes began), and the play cursor
// fades to silence before that point and waits there until more is written. Old audio from the
// previous lap is never heard, however long the writer stalls.
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
    // A fade in or out: 500 steps of 0.1 ms along an exponential with a time constant of a
    // third of the fade, in decibels between silence and the buffer's volume.
    static constexpr double kFadeSeconds = 0.05;

    struct Notification {
        uint32_t offset;  // byte offset: the event is set once the cursor has passed it
        Event* event;
    };

    // `sampleRate` is the sound's own, `deviceRate` the rate of the device that plays it.
    SoundBuffer(uint32_t bytes, uint32_t sampleRate, uint32_t deviceRate, const RenderEpoch& epoch,
                CommandClock& commands);
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    uint32_t Size() const { return bytes_; }

    // [UI thread] Copies sound in at a byte offset (wrapping at the end). The region written
    // should not be the one playing.
    HRESULT Write(uint32_t offset, const void* data, uint32_t bytes);
    // Copies 16-bit sound out again, exactly as it was written.
    HRESULT Read(uint32_t offset, void* data, uint32_t bytes) const;
    // Starts or stops within a few milliseconds (the gain ramp); the faded forms take
    // kFadeSeconds. The status changes at once; the sound follows at the next render block.
    HRESULT Play(bool looping);
    HRESULT Stop();
    HRESULT FadeIn();  // looping
    HRESULT FadeOut();
    uint32_t Status() const;
    bool IsPlaying() const { return (Status() & kStatusPlaying) != 0; }
    // True while the audio thread still renders the buffer, a stop's fade included.
    bool IsAudible() const { return audible_.load(std::memory_order_acquire); }
    // Byte offset of the sound being played (a multiple of 4).
    uint32_t GetCurrentPosition() const;
    // A jump of a sounding buffer dips to silence over the gain ramp and rises again at the new
    // position, rather than cutting.
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
    // Frames written since the writes began: the buffer plays nothing at or past this point.
    // Setting a fence turns it on for good; before the first play, like the notifications.
    void SetWriteFence(int64_t framesWritten);
    // The buffer is on its way out: it stops (ramped) and sets no more notifications.
    void Retire();

    // [audio thread] Adds this buffer's sound, resampled to deviceRate, into `out` (interleaved
    // stereo floats). `scratch` holds at least 2 * frames floats. `committed` is the card's
    // committed command batch for this block.
    void MixInto(float* out, int frames, uint32_t deviceRate, float* scratch,
                 uint32_t committed) noexcept;

  private:
    enum class Fade : uint8_t { None, In, Out };
    static constexpr uint64_t kOpPlay = 1;
    static constexpr uint64_t kOpStop = 2;
    static constexpr uint64_t kOpFade = 4;
    static constexpr uint64_t kOpLooping = 8;

    static float Gain(int32_t hundredthsDb) noexcept;
    void TargetGains(float& left, float& right) const noexcept;
    void FireNotifications(uint32_t fromFrame, uint32_t toFrame, bool wrapped) noexcept;
    void Command(uint64_t op);
    void ApplyCommand(uint64_t op) noexcept;
    void Seat(int64_t frame) noexcept;

    const uint32_t bytes_;
    const uint32_t frames_;
    const uint32_t ownRate_;
    const uint32_t deviceRate_;
    const RenderEpoch& epoch_;
    CommandClock& commands_;
    std::unique_ptr<float[]> samples_;  // interleaved stereo, full scale at 1.0

    // What the UI asked for: the status it reads back at once.
    std::atomic<bool> playing_{false};
    std::atomic<bool> looping_{false};
    std::atomic<bool> everPlayed_{false};
    // The latest start or stop: its batch number in the high half, its Op bits in the low.
    std::atomic<uint64_t> command_{0};
    std::atomic<bool> audible_{false};
    std::atomic<bool> retired_{false};
    std::atomic<int32_t> volume_{0};
    std::atomic<int32_t> pan_{0};
    std::atomic<uint32_t> frequency_;
    // The interpolation filter for the frequency's step, chosen when the frequency is set.
    std::atomic<const SincKernel*> kernel_;
    std::atomic<int64_t> fence_{-1};  // -1: no fence
    // The audio thread's position, in frames and a fraction of one, published for the UI.
    std::atomic<uint32_t> cursorFrame_{0};
    // A position the UI thread asked for, taken by the audio thread at its next block.
    std::atomic<int64_t> requestedFrame_{-1};
    std::atomic<EffectChain*> chain_{nullptr};
    std::vector<Notification> notifications_;  // sorted by offset; fixed once played

    // Audio thread only.
    uint64_t position_ = 0;  // in frames, 32.32 fixed point
    int64_t lapStart_ = 0;   // frames written before the current lap began (fenced buffers)
    int64_t reached_ = 0;    // the furthest frame played, counted like the fence
    int64_t pendingJump_ = -1;
    uint32_t appliedBatch_ = 0;
    bool sounding_ = false;
    bool loopingNow_ = true;
    Fade fade_ = Fade::None;
    float attenuation_ = 0.0F;  // 0: the buffer's volume ... 1: silence
    float gainLeft_ = 0.0F;
    float gainRight_ = 0.0F;
};

}  // namespace tev
