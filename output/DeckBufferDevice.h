#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/EngineState.h"
#include "platform/DeckChain.h"
#include "platform/SoundCard.h"
#include "platform/StatusCodes.h"

namespace tev {

// Deck buffer geometry: 120 slots of one chunk, 8 s at 44,100 Hz.
inline constexpr uint32_t kDeckSlots = 120;
inline constexpr uint32_t kDeckBufferBytes = kDeckSlots * kChunkBytes;  // 1,411,200
// Where a direction change mirrors a play cursor: the buffer's size less one slot.
inline constexpr uint32_t kMirrorBase = kDeckBufferBytes - kChunkBytes;  // 1,399,440

// One output's sound device with a forward and a backward streaming buffer per deck. The two
// buffers of a deck hold mirrored copies of what was played, so that play can turn round.
// Starts, stops and direction changes return at once; the sound layer fades them. A deck's
// commands to its two buffers take effect in the same render block.
// [UI thread] every operation.
class DeckBufferDevice {
  public:
    struct Deck {
        std::string effectName = "No Effect";
        bool equalizerActive = false;
        int32_t forwardWriteCursor = 0;
        int32_t backwardWriteCursor = 0;
        // Frames written forward since the buffers were made: the forward buffers' write fence.
        int64_t forwardFramesWritten = 0;
        SoundBuffer* forwardBuffer = nullptr;
        SoundBuffer* backwardBuffer = nullptr;
        // The buffers' chains, owned by the buffers, and the forward chain's equalizer, its
        // bands in use while equalizerActive (at 0 dB otherwise).
        DeckChain* forwardChain = nullptr;
        DeckChain* backwardChain = nullptr;
        ParamEqualizer* equalizer = nullptr;
        uint32_t sampleRate = 44100;
    };

    // `card` is shared by the two outputs of a split card; `pair` chooses its front or rear pair.
    DeckBufferDevice(std::shared_ptr<SoundCard> card, int pair);
    ~DeckBufferDevice();
    DeckBufferDevice(const DeckBufferDevice&) = delete;
    DeckBufferDevice& operator=(const DeckBufferDevice&) = delete;

    bool rearPair() const { return pair_ == 1; }
    // The card stopped for good (unplugged, its server gone): the output is silent.
    bool IsLost() const { return card_ && card_->IsLost(); }
    SoundDevice* device() const { return device_; }
    SoundCard* card() const { return card_.get(); }
    const Deck& deck(int d) const { return decks_[d]; }

    HRESULT CreateDeckBuffers(int deck, uint32_t sampleRate, bool withNotify, bool withBackward);
    HRESULT WriteForwardChunk(int deck, const int16_t* samples);
    HRESULT WriteBackwardChunk(int deck, const int16_t* samples);
    bool IsPlayingForward(int deck) const;
    bool IsPlayingBackward(int deck) const;
    int32_t ForwardWriteCursor(int deck) const { return decks_[deck].forwardWriteCursor; }
    int32_t ForwardPlayCursor(int deck) const;
    int32_t BackwardPlayCursor(int deck) const;
    HRESULT SetPlayPosition(int deck, uint32_t bytes);
    HRESULT SetFrequency(int deck, uint32_t hz);
    HRESULT SetVolume(int deck, int32_t volume);  // hundredths of a decibel, on both buffers
    HRESULT SetPan(int deck, int32_t pan);
    HRESULT PlayForward(int deck);
    HRESULT StopDeck(int deck);
    HRESULT SwitchToForward(int deck);
    HRESULT SwitchToBackward(int deck);
    // The deck's equalizer, from its band set (equalizerBanks): band b at its centre, 120 / n
    // semitones wide (n bands), raised or lowered by (gain - 1) x 100 dB within +-15 dB. Changes
    // cross-fade in while the deck plays. The backward buffer is not equalised.
    // E_NO_BUFFER without a forward buffer; the equalizer then comes on with the next buffers.
    HRESULT ApplyEqualizer(int deck);
    // One band's gain; E_UNEXPECTED for a band outside the band set, E_NO_BUFFER while the
    // equalizer is off.
    HRESULT SetEqualizerBand(int deck, int band);
    // Every band fades to 0 dB; E_NO_BUFFER without a forward buffer (the equalizer is off all
    // the same).
    HRESULT DisableEqualizer(int deck);
    // The deck's effect, by the effects panel's name, on the backward and the forward buffer,
    // built from the panel's values (effectParameter); it takes over within a few milliseconds
    // and the old effect's tail sounds on. E_NO_BUFFER without a forward buffer: the effect then
    // comes with the next buffers.
    HRESULT SetEffect(int deck, const std::string& name);
    // One of the panel's two values on both buffers' effect; "No Effect" takes none. E_NO_BUFFER
    // without a forward buffer, E_UNEXPECTED for an index other than 0 and 1.
    HRESULT SetEffectParameter(int deck, int index);
    void Release();

    // Fade-in start and fade-out stop of one buffer (SoundBuffer::kFadeSeconds, carried out by
    // the audio thread). -1 when the buffer already is in the asked state.
    static HRESULT PlayFaded(SoundBuffer* buffer);
    static HRESULT StopFaded(SoundBuffer* buffer);

  private:
    void ReleaseDeck(int deck);
    void ProgramEqualizer(int deck);
    HRESULT TurnTo(SoundBuffer* to, SoundBuffer* from);

    std::shared_ptr<SoundCard> card_;
    int pair_;
    SoundDevice* device_;
    Deck decks_[kDeckCount];
};

}  // namespace tev
