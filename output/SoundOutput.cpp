#include "output/SoundOutput.h"

#include <algorithm>
#include <cmath>

#include "core/SoundDeviceList.h"
#include "platform/SoundSystem.h"

namespace tev {

void SoundOutput::Open(std::shared_ptr<SoundCard> card, int pair, std::string deviceName) {
    Release();
    if (card == nullptr || card->Output(pair) == nullptr) {
        return;
    }
    deviceName_ = std::move(deviceName);
    if (!card->mixerDevice().empty()) {
        speakersControl_.Bind(card->mixerDevice(), "Master");
        waveControl_.Bind(card->mixerDevice(), "PCM");
    }
    deckDevice_ = std::make_unique<DeckBufferDevice>(std::move(card), pair);
}

bool SoundOutput::OpenDevice(const std::optional<std::string>& device, const std::string& text,
                             std::string& error) {
    Release();
    error.clear();
    if (!device) {
        return true;
    }
    const int pair = SoundDeviceList::PairOf(text);
    SoundSystem& system = SoundSystem::Instance();
    auto card = system.OpenCard(*device, pair >= 0);
    if (card == nullptr) {
        error = system.LastError();
        return false;
    }
    if (card->Output(std::max(pair, 0)) == nullptr) {
        error = "the sound device \"" + *device + "\" has no rear pair to play on";
        return false;
    }
    Open(std::move(card), std::max(pair, 0), text);
    return true;
}

void SoundOutput::Release() {
    deckDevice_.reset();
    deviceName_.clear();
    speakersControl_.Unbind();
    waveControl_.Unbind();
}

void SoundOutput::SetSpeakersVolume(double volume) {
    if (deckDevice_) {
        speakersVolume_ = volume;
        speakersControl_.Set(static_cast<uint32_t>(std::clamp(volume, 0.0, 1.0) * 100));
    }
}

void SoundOutput::SetWaveVolume(double volume) {
    if (deckDevice_) {
        waveVolume_ = volume;
        waveControl_.Set(static_cast<uint32_t>(std::clamp(volume, 0.0, 1.0) * 100));
    }
}

void SoundOutput::SetBalance(double balance) {
    if (!deckDevice_) {
        return;
    }
    balance_ = std::clamp(balance, -1.0, 1.0);
    const BalancePercents percents = BalanceOf(speakersVolume_, balance_);
    speakersControl_.SetStereo(percents.left, percents.right);
}

SoundOutput::BalancePercents SoundOutput::BalanceOf(double speakersVolume, double balance) {
    const auto p = static_cast<uint32_t>(std::clamp(speakersVolume, 0.0, 1.0) * 100);
    if (balance < 0.0) {
        return {p, static_cast<uint32_t>(p * (1.0 + std::max(balance, -1.0)))};
    }
    if (balance > 0.0) {
        return {static_cast<uint32_t>(p * (1.0 - std::min(balance, 1.0))), p};
    }
    return {p, p};
}

double SoundOutput::GetSpeakersVolume() {
    return deckDevice_ ? speakersControl_.Get() / 100.0 : 0.0;
}

int32_t SoundOutput::VolumeFromGain(double gain) {
    if (gain == 1.0) {
        return 0;
    }
    if (!(gain > 0.0001)) {
        return -10000;  // also NaN
    }
    if (gain > 1.0) {
        return 0;
    }
    return static_cast<int32_t>(5600 * gain) - 5600;
}

int32_t SoundOutput::PanFromBalance(double pan) {
    if (pan <= -1.0) {
        return -10000;
    }
    if (pan >= 1.0) {
        return 10000;
    }
    if (!(pan == pan)) {
        return 0;
    }
    return static_cast<int32_t>(pan * 10000);
}

HRESULT SoundOutput::CreateDeckBuffers(int deck, uint32_t sampleRate, bool withNotify,
                                       bool withBackward) {
    if (!deckDevice_) {
        return S_OK;
    }
    const HRESULT hr = deckDevice_->CreateDeckBuffers(deck, sampleRate, withNotify, withBackward);
    // A device opened since the equalizer was switched on, or the effect chosen, knows nothing
    // of them.
    if (hr == S_OK && equalizerOn_[deck]) {
        deckDevice_->ApplyEqualizer(deck);
    }
    if (hr == S_OK && deckDevice_->deck(deck).effectName != effectName_[deck]) {
        deckDevice_->SetEffect(deck, effectName_[deck]);
    }
    // New buffers start centred; the DJ's pan stays with the deck from track to track.
    if (hr == S_OK && deckPan_[deck] != 0.0) {
        deckDevice_->SetPan(deck, PanFromBalance(deckPan_[deck]));
    }
    return hr;
}

HRESULT SoundOutput::WriteForwardChunk(int deck, const int16_t* samples) {
    return deckDevice_ ? deckDevice_->WriteForwardChunk(deck, samples) : S_OK;
}

HRESULT SoundOutput::WriteBackwardChunk(int deck, const int16_t* samples) {
    return deckDevice_ ? deckDevice_->WriteBackwardChunk(deck, samples) : S_OK;
}

bool SoundOutput::IsPlayingForward(int deck) const {
    return deckDevice_ && deckDevice_->IsPlayingForward(deck);
}

bool SoundOutput::IsPlayingBackward(int deck) const {
    return deckDevice_ && deckDevice_->IsPlayingBackward(deck);
}

int32_t SoundOutput::ForwardWriteCursor(int deck) const {
    return deckDevice_ ? deckDevice_->ForwardWriteCursor(deck) : 0;
}

int32_t SoundOutput::ForwardPlayCursor(int deck) const {
    return deckDevice_ ? deckDevice_->ForwardPlayCursor(deck) : 0;
}

int32_t SoundOutput::BackwardPlayCursor(int deck) const {
    return deckDevice_ ? deckDevice_->BackwardPlayCursor(deck) : 0;
}

HRESULT SoundOutput::SetPlayPosition(int deck, uint32_t bytes) {
    return deckDevice_ ? deckDevice_->SetPlayPosition(deck, bytes) : S_OK;
}

HRESULT SoundOutput::SetFrequency(int deck, uint32_t hz) {
    deckFrequency_[deck] = hz;
    return deckDevice_ ? deckDevice_->SetFrequency(deck, hz) : S_OK;
}

HRESULT SoundOutput::SetDeckVolume(int deck, double gain) {
    return deckDevice_ ? deckDevice_->SetVolume(deck, VolumeFromGain(gain)) : S_OK;
}

HRESULT SoundOutput::SetDeckPan(int deck, double pan) {
    deckPan_[deck] = pan;
    return deckDevice_ ? deckDevice_->SetPan(deck, PanFromBalance(pan)) : S_OK;
}

HRESULT SoundOutput::PlayForward(int deck) {
    return deckDevice_ ? deckDevice_->PlayForward(deck) : S_OK;
}

HRESULT SoundOutput::StopDeck(int deck) {
    return deckDevice_ ? deckDevice_->StopDeck(deck) : S_OK;
}

HRESULT SoundOutput::SwitchToForward(int deck) {
    return deckDevice_ ? deckDevice_->SwitchToForward(deck) : S_OK;
}

HRESULT SoundOutput::SwitchToBackward(int deck) {
    return deckDevice_ ? deckDevice_->SwitchToBackward(deck) : S_OK;
}

HRESULT SoundOutput::ApplyEqualizer(int deck) {
    equalizerOn_[deck] = true;
    return deckDevice_ ? deckDevice_->ApplyEqualizer(deck) : S_OK;
}

HRESULT SoundOutput::SetEqualizerBand(int deck, int band) {
    return deckDevice_ ? deckDevice_->SetEqualizerBand(deck, band) : S_OK;
}

HRESULT SoundOutput::SetEffect(int deck, const std::string& name) {
    effectName_[deck] = name;
    return deckDevice_ ? deckDevice_->SetEffect(deck, name) : S_OK;
}

HRESULT SoundOutput::SetEffectParameter(int deck, int index) {
    return deckDevice_ ? deckDevice_->SetEffectParameter(deck, index) : S_OK;
}

HRESULT SoundOutput::DisableEqualizer(int deck) {
    equalizerOn_[deck] = false;
    return deckDevice_ ? deckDevice_->DisableEqualizer(deck) : S_OK;
}

void SoundOutput::ComputeCrossFadeCurve(double p) {
    double* b = curve_[1];
    if (p < 0.0) {
        const double exponent = 1.0 / (1.0 - 2.0 * p);  // 1/3 at -1: an early rise
        for (int i = 0; i < kCurvePoints; ++i) {
            b[i] = std::pow(i / 99.0, exponent);
        }
    } else if (p == 0.0) {
        for (int i = 0; i < kCurvePoints; ++i) {
            b[i] = i / 99.0;
        }
    } else {
        // A straight rise that reaches full gain early and stays there.
        const double n = (1.0 - p / 2.0) * 99.0;
        const int full = static_cast<int>(n);
        for (int i = 0; i < kCurvePoints; ++i) {
            b[i] = i < full ? i / n : 1.0;
        }
    }
    for (int i = 0; i < kCurvePoints; ++i) {
        curve_[0][i] = b[kCurvePoints - 1 - i];
    }
}

double SoundOutput::CurvePoint(int deck, int i) const {
    if (deck < 0 || deck >= kDeckCount || i < 0 || i >= kCurvePoints) {
        return 0.0;
    }
    return curve_[deck][i];
}

void SoundOutput::ApplyCrossFader(double x, const double levels[kDeckCount]) {
    const double t = (x + 1.0) / 2.0;
    const int k = static_cast<int>(t * 98.0);
    const int point = ((k % kCurvePoints) + kCurvePoints) % kCurvePoints;
    for (int deck = 0; deck < kDeckCount; ++deck) {
        curveGain_[deck] = curve_[deck][point];
        SetDeckVolume(deck, levels[deck] * curveGain_[deck]);
    }
}

OutputBatch::OutputBatch(SoundOutput& first, SoundOutput& second) {
    SoundOutput* outputs[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        SoundCard* card = outputs[i]->HasDevice() ? outputs[i]->deckDevice()->card() : nullptr;
        if (card != nullptr && (i == 0 || card != cards_[0])) {
            cards_[i] = card;
            card->commands().Hold();
        }
    }
}

OutputBatch::~OutputBatch() {
    for (SoundCard* card : cards_) {
        if (card != nullptr) {
            card->commands().Release();
        }
    }
}

}  // namespace tev
