#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/RecordingTap.h"
#include "platform/RenderEpoch.h"
#include "platform/SoundBuffer.h"

namespace tev {

class SoundCard;

// One output: a whole stereo card, or the front or the rear pair of a four-channel card. It
// owns the buffers created on it and mixes them into its pair of the card's channels.
class SoundDevice {
  public:
    static constexpr int kMaxBuffers = 16;

    SoundDevice(SoundCard& card, int pair) : card_(card), pair_(pair) {}
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    // [UI thread] A new silent buffer; nullptr when the device holds kMaxBuffers already.
    SoundBuffer* CreateBuffer(uint32_t bytes, uint32_t sampleRate);
    // [UI thread] Takes the buffer away. One that still sounds ramps to silence first and is
    // deleted by a later call once it has (it sets no notifications meanwhile); one that does
    // not is unhooked and deleted once the audio thread has let go.
    void DestroyBuffer(SoundBuffer* buffer);
    // [UI thread] Buffers taken away but still sounding.
    size_t RetiringCount() const { return retiring_.size(); }

    uint32_t SampleRate() const;
    int pair() const { return pair_; }  // 0: front (or the whole card), 1: rear
    SoundCard& card() const { return card_; }

    // [UI thread] Hands the device's clamped mix to `tap` from the next block on; nullptr
    // detaches. Returns once the audio thread has let go of the previous tap, which may then be
    // freed. A tap is held by one device at a time.
    void SetRecordingTap(RecordingTap* tap);
    // [audio thread]
    RecordingTap* recordingTap() const noexcept { return tap_.load(std::memory_order_seq_cst); }

    // [audio thread] Mixes every playing buffer into `out` (interleaved stereo, zeroed first),
    // with the commands of batches up to `committed`.
    void Mix(float* out, int frames, float* scratch, uint32_t committed) noexcept;

  private:
    void Free(SoundBuffer* buffer);
    void Reap();

    SoundCard& card_;
    const int pair_;
    std::array<std::atomic<SoundBuffer*>, kMaxBuffers> buffers_{};
    std::atomic<RecordingTap*> tap_{nullptr};
    // UI thread only.
    std::vector<std::unique_ptr<SoundBuffer>> owned_;
    std::vector<SoundBuffer*> retiring_;
};

// A stream of 2 or 4 channels at one rate, rendered block by block from its outputs.
// Subclasses supply the clock: a sound card's callback, a real-time thread, or a test.
class SoundCard {
  public:
    static constexpr int kMaxBlockFrames = 4096;

    // `mixerDevice` names the card's own mixer (see MixerLineControl); empty for cards that
    // have none, such as the manual-clock and null cards.
    SoundCard(std::string name, int channels, uint32_t sampleRate, std::string mixerDevice = {});
    virtual ~SoundCard();
    SoundCard(const SoundCard&) = delete;
    SoundCard& operator=(const SoundCard&) = delete;

    const std::string& name() const { return name_; }
    const std::string& mixerDevice() const { return mixerDevice_; }
    int channels() const { return channels_; }
    uint32_t sampleRate() const { return sampleRate_; }
    // The output on a channel pair: 0 is the front pair (or the whole stereo card), 1 the rear.
    SoundDevice* Output(int pair);
    const RenderEpoch& epoch() const { return epoch_; }
    // Batches of start and stop commands to the card's buffers (see CommandClock).
    CommandClock& commands() { return commands_; }

    // True once the stream has stopped for good (the device vanished, the server went away).
    bool IsLost() const { return lost_.load(std::memory_order_acquire); }
    // Seconds from a rendered block to the speaker, as the device reports it; 0 when unknown.
    virtual double OutputLatency() const { return 0.0; }
    // Blocks whose mix exceeded full scale and was clipped.
    uint64_t ClippedBlocks() const { return clipped_.load(std::memory_order_relaxed); }
    // Times the device ran out of sound before a block was ready (a dropout the listener heard).
    uint64_t Underruns() const { return underruns_.load(std::memory_order_relaxed); }
    // Every card's underruns since the program started.
    static uint64_t TotalUnderruns();
    // False when the card's audio thread asked for real-time scheduling and did not get it.
    virtual bool RunsInRealTime() const { return true; }

    // [audio thread] Renders `frames` interleaved frames of channels() channels into out.
    void RenderBlock(float* out, int frames) noexcept;

  protected:
    void MarkLost() noexcept { lost_.store(true, std::memory_order_release); }
    // [audio thread]
    void CountUnderrun() noexcept;

  private:
    std::string name_;
    std::string mixerDevice_;
    int channels_;
    uint32_t sampleRate_;
    std::unique_ptr<SoundDevice> outputs_[2];
    RenderEpoch epoch_;
    CommandClock commands_;
    std::atomic<bool> lost_{false};
    std::atomic<uint64_t> clipped_{0};
    std::atomic<uint64_t> underruns_{0};
    // Audio thread only, allocated once.
    std::vector<float> mix_;
    std::vector<float> scratch_;
};

// A card with no clock of its own: a test renders a number of frames and reads them back.
// Notifications fire during that call.
class ManualClockCard final : public SoundCard {
  public:
    explicit ManualClockCard(int channels = 2, uint32_t sampleRate = 44100);

    // Renders `frames` frames into out (frames * channels() floats). Never allocates.
    void RenderInto(std::span<float> out) noexcept;
    // Renders `frames` frames and returns them (allocates the result).
    std::vector<float> Render(int frames);
    // As a device does when it ran dry before a block was ready.
    void ReportUnderflow() noexcept { CountUnderrun(); }
};

// A card that keeps real time on a thread of its own and throws the sound away: the program
// runs, and its buffers move, on a machine without sound.
class NullCard final : public SoundCard {
  public:
    explicit NullCard(int channels = 2, uint32_t sampleRate = 44100);
    ~NullCard() override;

  private:
    std::atomic<bool> running_{true};
    std::thread clock_;
};

}  // namespace tev
