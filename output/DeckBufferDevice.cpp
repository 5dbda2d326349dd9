#include "output/DeckBufferDevice.h"

#include <cmath>
#include <vector>

#include "platform/Clock.h"
#include "platform/MessageLayer.h"

namespace tev {
namespace {

constexpr int kFadeSteps = 500;
constexpr double kFadeTimeConstant = kFadeSteps / 3.0;
constexpr double kFadeStepSeconds = 0.0001;

// Waits at least one fade step on the performance counter, dispatching messages meanwhile.
void WaitFadeStep(int64_t& previous) {
    const auto step = static_cast<int64_t>(kFadeStepSeconds * static_cast<double>(perfFrequency));
    MessagePump* pump = CurrentMessagePump();
    while (PerfCounter() - previous < step) {
        if (pump != nullptr && pump->IsPumpThread()) {
            pump->DispatchPending();
        }
    }
    previous = PerfCounter();
}

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
    for (SoundBuffer** buffer : {&d.backwardBuffer, &d.forwardBuffer}) {
        if (*buffer != nullptr) {
            (*buffer)->Stop();
            device_->DestroyBuffer(*buffer);
            *buffer = nullptr;
        }
    }
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
    d.forwardBuffer->SetCurrentPosition(0);
    if (d.backwardBuffer != nullptr) {
        d.backwardBuffer->SetCurrentPosition(0);
    }
    // New buffers are silent already; writing a buffer-full of silence brings both cursors
    // round to 0, as the writes of the streaming code expect.
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
    const int32_t v = buffer->GetVolume();
    buffer->SetVolume(SoundBuffer::kVolumeMin);
    const HRESULT started = buffer->Play(true);
    int64_t previous = PerfCounter();
    for (int i = 0; i < kFadeSteps; ++i) {
        WaitFadeStep(previous);
        const double rise = 1.0 - std::exp(-i / kFadeTimeConstant);
        buffer->SetVolume(static_cast<int32_t>((v + 10000) * rise) - 10000);
    }
    buffer->SetVolume(v);
    return started;
}

HRESULT DeckBufferDevice::StopFaded(SoundBuffer* buffer) {
    if (buffer == nullptr) {
        return E_NO_BUFFER;
    }
    if (!buffer->IsPlaying()) {
        return E_ALREADY_IN_STATE;
    }
    const int32_t v = buffer->GetVolume();
    int64_t previous = PerfCounter();
    for (int i = 0; i < kFadeSteps; ++i) {
        WaitFadeStep(previous);
        buffer->SetVolume(static_cast<int32_t>((v + 10000) * std::exp(-i / kFadeTimeConstant)) -
                          10000);
    }
    buffer->SetVolume(SoundBuffer::kVolumeMin);
    const HRESULT stopped = buffer->Stop();
    buffer->SetVolume(v);
    return stopped;
}

HRESULT DeckBufferDevice::PlayForward(int deck) {
    return PlayFaded(decks_[deck].forwardBuffer);
}

HRESULT DeckBufferDevice::StopDeck(int deck) {
    Deck& d = decks_[deck];
    if (d.backwardBuffer != nullptr) {
        d.backwardBuffer->Stop();
    }
    return StopFaded(d.forwardBuffer);
}

HRESULT DeckBufferDevice::SwitchToForward(int deck) {
    Deck& d = decks_[deck];
    if (d.forwardBuffer == nullptr || d.backwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    const uint32_t p = d.backwardBuffer->GetCurrentPosition() / kChunkBytes * kChunkBytes;
    d.forwardBuffer->SetCurrentPosition(kMirrorBase - p);
    return PlayFaded(d.forwardBuffer);
}

HRESULT DeckBufferDevice::SwitchToBackward(int deck) {
    Deck& d = decks_[deck];
    if (d.forwardBuffer == nullptr || d.backwardBuffer == nullptr) {
        return E_NO_BUFFER;
    }
    const uint32_t p = d.forwardBuffer->GetCurrentPosition() / kChunkBytes * kChunkBytes;
    d.backwardBuffer->SetCurrentPosition(kMirrorBase - p);
    return PlayFaded(d.backwardBuffer);
}

void DeckBufferDevice::Release() {
    for (int d = 0; d < kDeckCount; ++d) {
        ReleaseDeck(d);
    }
}

}  // namespace tev
