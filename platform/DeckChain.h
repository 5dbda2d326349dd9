#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/EffectChain.h"
#include "platform/ParamEq.h"
#include "platform/SoundEffect.h"

namespace tev {

// What a deck buffer's sound passes through: the deck's equalizer (forward buffers only), then
// its effect.
//
// A new effect takes over within kFadeFrames while the buffer plays: the input moves from the
// old effect to the new one, and the old effect goes on sounding what it still holds (an echo's
// repeats, a reverb's tail) until that dies away, as a DJ's "echo out" expects. At most kMaxTails
// old effects sound on; a tail still sounding after kTailSeconds fades out over kTailFadeFrames.
//
// [UI thread] SetEffect, effect and Reap; [audio thread] Process.
class DeckChain final : public EffectChain {
  public:
    static constexpr int kFadeFrames = 512;
    static constexpr int kMaxTails = 4;
    static constexpr double kTailSeconds = 10.0;
    static constexpr int kTailFadeFrames = 8192;
    // A tail this quiet (about -100 dB) for kSilentSeconds has died away: longer than an echo's
    // longest delay, the silence between two repeats.
    static constexpr float kSilence = 1e-5F;
    static constexpr double kSilentSeconds = 2.5;

    DeckChain(uint32_t sampleRate, bool withEqualizer);
    ~DeckChain() override;
    DeckChain(const DeckChain&) = delete;
    DeckChain& operator=(const DeckChain&) = delete;

    // nullptr on a chain without an equalizer.
    ParamEqualizer* equalizer() const { return equalizer_.get(); }
    // The effect after the equalizer; nullptr for none.
    void SetEffect(std::unique_ptr<SoundEffect> effect);
    // The effect last set, for its settings.
    SoundEffect* effect() const { return effect_; }
    // Deletes the old effects that have died away.
    void Reap();

    void Process(float* samples, int frames, int sampleRate) noexcept override;

  private:
    // An effect the sound passes through, or the plain sound (effect nullptr), with how much of
    // the input it is given and how much of its output is heard.
    struct Unit {
        SoundEffect* effect = nullptr;
        bool used = false;
        float inGain = 0.0F;
        float inStep = 0.0F;  // per frame, towards 0 or 1
        float outGain = 1.0F;
        float outStep = 0.0F;
        int64_t tailFrames = 0;    // frames since it lost its input
        int64_t silentFrames = 0;  // frames its output has been silent
    };
    static constexpr int kBlock = 1024;

    void TakeNewEffect() noexcept;
    void Retire(Unit& unit) noexcept;
    void Mix(float* samples, int frames) noexcept;

    const uint32_t sampleRate_;
    std::unique_ptr<ParamEqualizer> equalizer_;
    SoundEffect* effect_ = nullptr;  // UI thread's view
    // The effect set last, until the audio thread takes it: nullptr when there is none to take.
    std::atomic<SoundEffect*> pending_{nullptr};
    // Old effects on their way back to the UI thread, which deletes them.
    std::array<std::atomic<SoundEffect*>, kMaxTails + 2> retired_{};

    // Audio thread only.
    Unit current_;
    std::array<Unit, kMaxTails> tails_{};
    std::vector<float> input_;  // kBlock frames
    std::vector<float> work_;   // kBlock frames
};

}  // namespace tev
