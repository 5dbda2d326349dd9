#include "output/DeckBufferDevice.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/FilterBank.h"
#include "output/EffectTable.h"

namespace tev {
namespace {

// Holds a card's commands while a deck's buffers change together.
class CardBatch {
  public:
    explicit CardBatch(SoundCard* card) : card_(card) {
        if (card_ != nullptr) {
            card_->commands().Hold();
        }
    }
    ~CardBatch() {
        if (card_ != nullptr) {
            card_->commands().Release();
        }
    }
    CardBatch(const CardBatch&) = delete;
    CardBatch& operator=(const CardBatch&) = delete;

  private:
    SoundCard* card_;
};

}  // namespace

DeckBufferDevice::DeckBufferDevice(std::shared_ptr<SoundCard> card, int pair)
    : card_(std::move(card)), pair_(pair), device_(card_ ? card_->Output(pair) : nullptr) {}

DeckBufferDevice::~DeckBufferDevice() {
    Release();
}

void DeckBufferDevice::ReleaseDeck(int deck) {
    Deck& d = decks_[deck];
    if (device_ == nullptr) {
        return;
    }
    // A buffer that still sounds ramps to silence on its way out.
    d.equalizer = nullptr;
    d.forwardChain = nullptr;
    d.backwardChain = nullptr;
    for (SoundBuffer** buffer : {&d.backwardBuffer, &d.forwardBuffer}) {
        if (*buffer != nullptr) {
            device_->DestroyBuffer(*buffer);
            *buffer = nullptr;
        }
    }
}

namespace {

// A band gain of the band set (1 is flat) as the equalizer's decibels: 0.85 ... 1.15 spans the
// whole -15 ... +15 dB.
float BandGainDb(float gain) {
    return (gain - 1.0F) * 100.0F;  // clamped, and a NaN made 0 dB, by the band
}

int EqualizerBands(int deck) {
    return std::min(equalizerBanks[deck].GetNumBands(), ParamEqualizer::kMaxBands);
}

}  // namespace

void DeckBufferDevice::ProgramEqualizer(int deck) {
    const Deck& d = decks_[deck];
    const FilterBank& bands = equalizerBanks[deck];
    const int n = EqualizerBands(deck);
    for (int b = 0; b < ParamEqualizer::kMaxBands; ++b) {
        ParamEqParameters settings = d.equalizer->band(b).GetAllParameters();
        if (d.equalizerActive && b < n) {
            settings.center = static_cast<float>(bands.GetCenterFrequency(b));
            settings.bandwidth = 120.0F / static_cast<float>(n);
            settings.gain = BandGainDb(bands.GetBandGain(b));
        } else {
            settings.gain = 0.0F;  // where it is, the band fades to passing its input unchanged
        }
        d.equalizer->band(b).SetAllParameters(settings);
    }
}

HRESULT DeckBufferDevice::ApplyEqualizer(int deck) {
    Deck& d = decks_[deck];
    d.equalizerActive = true;
    if (d.equalizer == nullptr) {
        return E_NO_BUFFER;
    }
    ProgramEqualizer(deck);
    return S_OK;
}

HRESULT DeckBufferDevice::SetEqualizerBand(int deck, int band) {
    const Deck& d = decks_[deck];
    if (band < 0 || band >= EqualizerBands(deck)) {
        return E_UNEXPECTED;
    }
    if (!d.equalizerActive || d.equalizer == nullptr) {
        return E_NO_BUFFER;
    }
    ParamEqParameters settings = d.equalizer->band(band).GetAllParameters();
    settings.gain = BandGainDb(equalizerBanks[deck].GetBandGain(band));
    d.equalizer->band(band).SetAllParameters(settings);
    return S_OK;
}

HRESULT DeckBufferDevice::SetEffect(int deck, const std::string& name) {
    Deck& d = decks_[deck];
    d.effectName = name;
    if (d.forwardChain == nullptr) {
        return E_NO_BUFFER;
    }
    // Each buffer has an effect of its own: an effect remembers the sound it was given.
    for (DeckChain* chain : {d.backwardChain, d.forwardChain}) {
        if (chain == nullptr) {
            continue;
        }
        std::unique_ptr<SoundEffect> effect = MakeDeckEffect(name, device_->SampleRate());
        if (effect != nullptr) {
            for (int index = 0; index < 2; ++index) {
                SetDeckEffectParameter(*effect, name, index, effectParameter[deck][index]);
            }
        }
        chain->SetEffect(std::move(effect));
    }
    return S_OK;
}

HRESULT DeckBufferDevice::SetEffectParameter(int deck, int index) {
    const Deck& d = decks_[deck];
    if (d.forwardChain == nullptr) {
        return E_NO_BUFFER;
    }
    if (index != 0 && index != 1) {
        return E_UNEXPECTED;
    }
    for (DeckChain* chain : {d.forwardChain, d.backwardChain}) {
        if (chain != nullptr && chain->effect() != nullptr) {
            SetDeckEffectParameter(*chain->effect(), d.effectName, index,
                                   effectParameter[deck][index]);
        }
    }
    return S_OK;
}

HRESULT DeckBufferDevice::DisableEqualizer(int deck) {
    Deck& d = decks_[deck];
    d.equalizerActive = false;
    if (d.equalizer == nullptr) {
        return E_NO_BUFFER;
    }
    ProgramEqualizer(deck);
    return S_OK;
}

HRESULT DeckBufferDevice::CreateDeckBuffers(int deck, uint32_t sampleRate, bool withNotify,
                                            bool withBackward) {
    ReleaseDeck(deck);
    Deck& d = decks_[deck];
    d.sampleRate = sampleRate;
    if (device_ == nullptr) {
        return S_OK;
    }
    if (withBackward) {
        d.backwardBuffer = device_->CreateBuffer(kDeckBufferBytes, sampleRate);
    }
    d.forwardBuffer = device_->CreateBuffer(kDeckBufferBytes, sampleRate);
    if (d.forwardBuffer == nullptr) {
        ReleaseDeck(deck);
        return E_FAIL;
    }
    // The chains run after the resampling, at the card's rate. Backward play is not equalised.
    auto forwardChain = std::make_unique<DeckChain>(device_->SampleRate(), true);
    d.forwardChain = forwardChain.get();
    d.equalizer = forwardChain->equalizer();
    d.forwardBuffer->SetEffectChain(std::move(forwardChain));
    if (d.backwardBuffer != nullptr) {
        auto backwardChain = std::make_unique<DeckChain>(device_->SampleRate(), false);
        d.backwardChain = backwardChain.get();
        d.backwardBuffer->SetEffectChain(std::move(backwardChain));
    }
    if (d.equalizerActive) {
        ProgramEqualizer(deck);
    }
    if (d.effectName != kNoEffect) {
        SetEffect(deck, d.effectName);
    }
    if (withNotify) {
        // The last byte of every slot signals the deck's notify event of its direction.
        std::vector<SoundBuffer::Notification> forward;
        std::vector<SoundBuffer::Notification> backward;
        for (uint32_t k = 0; k < kDeckSlots; ++k) {
            const uint32_t offset = k * kChunkBytes + kChunkBytes - 1;
            forward.push_back({offset, &deckEvents[deck].playForwardNotify});
            backward.push_back({offset, &deckEvents[deck].playBackwardNotify});
        }
        const HRESULT hr = d.forwardBuffer->SetNotificationPositions(forward);
        if (hr != S_OK) {
            return hr;
        }
        if (d.backwardBuffer != nullptr) {
            const HRESULT back = d.backwardBuffer->SetNotificationPositions(backward);
            if (back != S_OK) {
                return back;
            }
        }
    }
    d.forwardWriteCursor = 0;
    d.backwardWriteCursor = 0;
    d.forwardFramesWritten = 0;
    d.forwardBuffer->SetWriteFence(0);
    d.forwardBuffer->SetCurrentPosition(0);
    if (d.backwardBuffer != nullptr) {
        d.backwardBuffer->SetCurrentPosition(0);
    }
    // New buffers are silent already, and the forward one plays nothing it has not been given;
    // both cursors are at 0, as writing a buffer-full of silence would leave them.
    return S_OK;
}

HRESULT DeckBufferDevice::WriteForwardChunk(int deck, const int16_t* samples) {
    Deck& d = decks_[deck];
    if (d.forwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    const HRESULT hr =
        d.forwardBuffer->Write(static_cast<uint32_t>(d.forwardWriteCursor), samples, kChunkBytes);
    if (hr != S_OK) {
        return E_LOCK_FAILED;
    }
    d.forwardWriteCursor =
        static_cast<int32_t>((d.forwardWriteCursor + kChunkBytes) % kDeckBufferBytes);
    d.forwardFramesWritten += kChunkFrames;
    d.forwardBuffer->SetWriteFence(d.forwardFramesWritten);
    return S_OK;
}

HRESULT DeckBufferDevice::WriteBackwardChunk(int deck, const int16_t* samples) {
    Deck& d = decks_[deck];
    if (d.backwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    const HRESULT hr =
        d.backwardBuffer->Write(static_cast<uint32_t>(d.backwardWriteCursor), samples, kChunkBytes);
    if (hr != S_OK) {
        return E_LOCK_FAILED;
    }
    d.backwardWriteCursor -= static_cast<int32_t>(kChunkBytes);
    if (d.backwardWriteCursor < 0) {
        d.backwardWriteCursor += static_cast<int32_t>(kDeckBufferBytes);
    }
    return S_OK;
}

bool DeckBufferDevice::IsPlayingForward(int deck) const {
    return decks_[deck].forwardBuffer != nullptr && decks_[deck].forwardBuffer->IsPlaying();
}

bool DeckBufferDevice::IsPlayingBackward(int deck) const {
    return decks_[deck].backwardBuffer != nullptr && decks_[deck].backwardBuffer->IsPlaying();
}

int32_t DeckBufferDevice::ForwardPlayCursor(int deck) const {
    const SoundBuffer* b = decks_[deck].forwardBuffer;
    return b != nullptr ? static_cast<int32_t>(b->GetCurrentPosition()) : 0;
}

int32_t DeckBufferDevice::BackwardPlayCursor(int deck) const {
    const SoundBuffer* b = decks_[deck].backwardBuffer;
    return b != nullptr ? static_cast<int32_t>(b->GetCurrentPosition()) : 0;
}

HRESULT DeckBufferDevice::SetPlayPosition(int deck, uint32_t bytes) {
    SoundBuffer* b = decks_[deck].forwardBuffer;
    return b != nullptr ? b->SetCurrentPosition(bytes) : E_NO_BUFFER;
}

HRESULT DeckBufferDevice::SetFrequency(int deck, uint32_t hz) {
    SoundBuffer* b = decks_[deck].forwardBuffer;
    return b != nullptr ? b->SetFrequency(hz) : E_NO_BUFFER;
}

HRESULT DeckBufferDevice::SetVolume(int deck, int32_t volume) {
    Deck& d = decks_[deck];
    if (d.forwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    if (d.backwardBuffer != nullptr) {
        d.backwardBuffer->SetVolume(volume);
    }
    return d.forwardBuffer->SetVolume(volume);
}

HRESULT DeckBufferDevice::SetPan(int deck, int32_t pan) {
    Deck& d = decks_[deck];
    if (d.forwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    if (d.backwardBuffer != nullptr) {
        d.backwardBuffer->SetPan(pan);
    }
    return d.forwardBuffer->SetPan(pan);
}

HRESULT DeckBufferDevice::PlayFaded(SoundBuffer* buffer) {
    if (buffer == nullptr) {
        return E_NO_BUFFER;
    }
    if (buffer->IsPlaying()) {
        return E_ALREADY_IN_STATE;
    }
    return buffer->FadeIn();
}

HRESULT DeckBufferDevice::StopFaded(SoundBuffer* buffer) {
    if (buffer == nullptr) {
        return E_NO_BUFFER;
    }
    if (!buffer->IsPlaying()) {
        return E_ALREADY_IN_STATE;
    }
    return buffer->FadeOut();
}

HRESULT DeckBufferDevice::PlayForward(int deck) {
    return PlayFaded(decks_[deck].forwardBuffer);
}

HRESULT DeckBufferDevice::StopDeck(int deck) {
    Deck& d = decks_[deck];
    CardBatch batch(card_.get());
    // Both directions fade, so that letting go of Rev turns round without a cut.
    StopFaded(d.backwardBuffer);
    return StopFaded(d.forwardBuffer);
}

// Turning round cross-fades the two directions along the gain ramp: the direction left, whose
// fade-out the caller has begun, goes the same short way down as the other comes up, so that
// a scratch has no gap. A start or a pause keeps its longer fade.
HRESULT DeckBufferDevice::TurnTo(SoundBuffer* to, SoundBuffer* from) {
    if (to == nullptr || from == nullptr) {
        return E_NO_BUFFER;
    }
    const uint32_t p = from->GetCurrentPosition() / kChunkBytes * kChunkBytes;
    to->SetCurrentPosition(kMirrorBase - p);
    if (to->IsPlaying()) {
        return E_ALREADY_IN_STATE;
    }
    CardBatch batch(card_.get());
    if (!from->IsPlaying()) {
        from->Stop();
    }
    return to->Play(true);
}

HRESULT DeckBufferDevice::SwitchToForward(int deck) {
    return TurnTo(decks_[deck].forwardBuffer, decks_[deck].backwardBuffer);
}

HRESULT DeckBufferDevice::SwitchToBackward(int deck) {
    return TurnTo(decks_[deck].backwardBuffer, decks_[deck].forwardBuffer);
}

void DeckBufferDevice::Release() {
    for (int d = 0; d < kDeckCount; ++d) {
        ReleaseDeck(d);
    }
}

}  // namespace tev
