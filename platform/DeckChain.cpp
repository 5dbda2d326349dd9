#include "platform/DeckChain.h"

#include <algorithm>
#include <cmath>

namespace tev {
namespace {

// Stands for "no effect" while a switch to it waits for the audio thread.
class PlainSound final : public SoundEffect {
  public:
    void Process(float* /*samples*/, int /*frames*/) noexcept override {}
};
PlainSound plainSound;

}  // namespace

DeckChain::DeckChain(uint32_t sampleRate, bool withEqualizer)
    : sampleRate_(sampleRate),
      equalizer_(withEqualizer ? std::make_unique<ParamEqualizer>(sampleRate) : nullptr),
      input_(2 * kBlock),
      work_(2 * kBlock) {
    current_.used = true;
    current_.inGain = 1.0F;
}

DeckChain::~DeckChain() {
    // The audio thread has left the chain for good.
    delete current_.effect;
    for (Unit& tail : tails_) {
        if (tail.used) {
            delete tail.effect;
        }
    }
    SoundEffect* pending = pending_.load();
    if (pending != &plainSound) {
        delete pending;
    }
    Reap();
}

void DeckChain::SetEffect(std::unique_ptr<SoundEffect> effect) {
    Reap();
    effect_ = effect.get();
    SoundEffect* value = effect ? effect.release() : &plainSound;
    SoundEffect* old = pending_.exchange(value, std::memory_order_acq_rel);
    if (old != &plainSound) {
        delete old;  // set and replaced before it ever sounded
    }
}

void DeckChain::Reap() {
    for (auto& slot : retired_) {
        delete slot.exchange(nullptr, std::memory_order_acquire);
    }
}

void DeckChain::TakeNewEffect() noexcept {
    if (pending_.load(std::memory_order_relaxed) == nullptr) {
        return;
    }
    Unit* free = nullptr;
    for (Unit& tail : tails_) {
        if (!tail.used) {
            free = &tail;
            break;
        }
    }
    if (free == nullptr) {
        // Every tail still sounds: the oldest makes way (cut short).
        free = &*std::max_element(tails_.begin(), tails_.end(), [](const Unit& a, const Unit& b) {
            return a.tailFrames < b.tailFrames;
        });
        Retire(*free);
        if (free->used) {
            return;  // nowhere to send it back yet: the switch waits for the next block
        }
    }
    // The UI thread only ever replaces a pending effect, so there is one to take.
    SoundEffect* value = pending_.exchange(nullptr, std::memory_order_acq_rel);
    *free = current_;
    free->inStep = -1.0F / kFadeFrames;
    free->tailFrames = 0;
    free->silentFrames = 0;
    current_ = Unit{};
    current_.effect = value == &plainSound ? nullptr : value;
    current_.used = true;
    current_.inStep = 1.0F / kFadeFrames;
}

void DeckChain::Retire(Unit& unit) noexcept {
    if (unit.effect != nullptr) {
        bool handed = false;
        for (auto& slot : retired_) {
            SoundEffect* empty = nullptr;
            if (slot.compare_exchange_strong(empty, unit.effect, std::memory_order_release)) {
                handed = true;
                break;
            }
        }
        if (!handed) {
            return;  // the UI thread has not reaped yet: it sounds on, silent, a while longer
        }
    }
    unit = Unit{};
}

void DeckChain::Process(float* samples, int frames, int /*sampleRate*/) noexcept {
    if (equalizer_) {
        equalizer_->Process(samples, frames, static_cast<int>(sampleRate_));
    }
    TakeNewEffect();
    for (int done = 0; done < frames; done += kBlock) {
        Mix(samples + 2 * done, std::min(kBlock, frames - done));
    }
}

void DeckChain::Mix(float* samples, int frames) noexcept {
    const bool steady =
        current_.inGain == 1.0F && current_.inStep == 0.0F &&
        std::none_of(tails_.begin(), tails_.end(), [](const Unit& tail) { return tail.used; });
    if (steady) {
        if (current_.effect != nullptr) {
            current_.effect->Process(samples, frames);
        }
        return;
    }
    const size_t n = 2 * static_cast<size_t>(frames);
    std::copy_n(samples, n, input_.data());
    std::fill_n(samples, n, 0.0F);
    const auto silentLimit = static_cast<int64_t>(kSilentSeconds * sampleRate_);
    const auto tailLimit = static_cast<int64_t>(kTailSeconds * sampleRate_);
    for (int u = -1; u < kMaxTails; ++u) {
        Unit& unit = u < 0 ? current_ : tails_[static_cast<size_t>(u)];
        if (!unit.used) {
            continue;
        }
        float* work = work_.data();
        for (int i = 0; i < frames; ++i) {
            unit.inGain = std::clamp(unit.inGain + unit.inStep, 0.0F, 1.0F);
            work[2 * i] = input_[2 * static_cast<size_t>(i)] * unit.inGain;
            work[2 * i + 1] = input_[2 * static_cast<size_t>(i) + 1] * unit.inGain;
        }
        if (unit.inGain == 1.0F || unit.inGain == 0.0F) {
            unit.inStep = 0.0F;
        }
        if (unit.effect != nullptr) {
            unit.effect->Process(work, frames);
        }
        float peak = 0.0F;
        for (int i = 0; i < frames; ++i) {
            unit.outGain = std::clamp(unit.outGain + unit.outStep, 0.0F, 1.0F);
            samples[2 * i] += work[2 * i] * unit.outGain;
            samples[2 * i + 1] += work[2 * i + 1] * unit.outGain;
            peak = std::max({peak, std::abs(work[2 * i]), std::abs(work[2 * i + 1])});
        }
        if (u < 0) {
            continue;
        }
        unit.tailFrames += frames;
        unit.silentFrames = peak < kSilence ? unit.silentFrames + frames : 0;
        if (unit.tailFrames >= tailLimit && unit.outStep == 0.0F) {
            unit.outStep = -1.0F / kTailFadeFrames;
        }
        if ((unit.inGain == 0.0F && unit.silentFrames >= silentLimit) || unit.outGain == 0.0F) {
            Retire(unit);
        }
    }
}

}  // namespace tev
