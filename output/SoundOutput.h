#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "output/DeckBufferDevice.h"
#include "platform/MixerLineControl.h"

namespace tev {

// One of the two outputs, main or monitor. Without a device it accepts every call and stays
// silent: operations do nothing and queries answer 0 or false. [UI thread] every operation.
class SoundOutput {
  public:
    SoundOutput() { ComputeCrossFadeCurve(0.0); }

    // Takes a device: a card's front pair (or the whole card) or its rear pair, and binds the
    // card's mixer lines. Drops the previous device first.
    void Open(std::shared_ptr<SoundCard> card, int pair, std::string deviceName);
    // Opens the device an entry of the options lists names: its front or rear pair when the
    // entry text ends in "(Front)" or "(Rear)", else the whole card; none releases the output.
    // False, with the reason in `error`, when the device cannot be opened.
    bool OpenDevice(const std::optional<std::string>& device, const std::string& text,
                    std::string& error);
    void Release();
    bool HasDevice() const { return deckDevice_ != nullptr; }
    bool IsDeviceLost() const { return deckDevice_ && deckDevice_->IsLost(); }
    const std::string& deviceName() const { return deviceName_; }
    DeckBufferDevice* deckDevice() const { return deckDevice_.get(); }

    HRESULT CreateDeckBuffers(int deck, uint32_t sampleRate, bool withNotify, bool withBackward);
    HRESULT WriteForwardChunk(int deck, const int16_t* samples);
    HRESULT WriteBackwardChunk(int deck, const int16_t* samples);
    bool IsPlayingForward(int deck) const;
    bool IsPlayingBackward(int deck) const;
    int32_t ForwardWriteCursor(int deck) const;
    int32_t ForwardWriteSlot(int deck) const { return ForwardWriteCursor(deck) / kChunkBytes; }
    int32_t ForwardPlayCursor(int deck) const;
    int32_t ForwardPlaySlot(int deck) const { return ForwardPlayCursor(deck) / kChunkBytes; }
    int32_t BackwardPlayCursor(int deck) const;
    HRESULT SetPlayPosition(int deck, uint32_t bytes);
    HRESULT SetFrequency(int deck, uint32_t hz);
    uint32_t DeckFrequency(int deck) const { return deckFrequency_[deck]; }
    HRESULT SetDeckVolume(int deck, double gain);
    HRESULT SetDeckPan(int deck, double pan);
    HRESULT PlayForward(int deck);
    HRESULT StopDeck(int deck);
    HRESULT SwitchToForward(int deck);
    HRESULT SwitchToBackward(int deck);
    HRESULT ApplyEqualizer(int deck);
    HRESULT SetEqualizerBand(int deck, int band);
    HRESULT DisableEqualizer(int deck);
    HRESULT SetEffect(int deck, const std::string& name);
    HRESULT SetEffectParameter(int deck, int index);

    // The cross-fade curve: two tables of 99 gains, Deck B's and its mirror image for Deck A,
    // shaped by p in -1 ... 1 (soft, straight at 0, sharp cut).
    void ComputeCrossFadeCurve(double p);
    // A point of a deck's table; 0 outside 0 ... 98.
    double CurvePoint(int deck, int i) const;
    // Sets both decks' volumes from a cross-fader position x (-1: all Deck A) and the levels.
    void ApplyCrossFader(double x, const double levels[kDeckCount]);
    double curveGain(int deck) const { return curveGain_[deck]; }
    static constexpr int kCurvePoints = 99;

    // The card's own mixer: speakers ("Master") and wave-output ("PCM") lines, 0 ... 1, and the
    // balance of the speakers line, -1 (left) ... 1 (right). Nothing happens without a device.
    void SetSpeakersVolume(double volume);
    void SetWaveVolume(double volume);
    void SetBalance(double balance);
    double GetSpeakersVolume();
    // The left and right percentages of the speakers line for a volume and a balance.
    struct BalancePercents {
        uint32_t left;
        uint32_t right;
    };
    static BalancePercents BalanceOf(double speakersVolume, double balance);
    double speakersVolume() const { return speakersVolume_; }
    double waveVolume() const { return waveVolume_; }
    double balance() const { return balance_; }
    MixerLineControl& speakersControl() { return speakersControl_; }
    MixerLineControl& waveControl() { return waveControl_; }

    // Gain 0 ... 1 as hundredths of a decibel: a straight line from -56 dB to 0 dB, silence at
    // 0.0001 and below.
    static int32_t VolumeFromGain(double gain);
    // Pan -1 ... 1 as hundredths of a decibel, -10,000 (left) ... 10,000 (right).
    static int32_t PanFromBalance(double pan);

  private:
    std::string deviceName_;
    std::unique_ptr<DeckBufferDevice> deckDevice_;
    uint32_t deckFrequency_[kDeckCount] = {44100, 44100};
    double deckPan_[kDeckCount] = {0.0, 0.0};
    double curve_[kDeckCount][kCurvePoints] = {};
    double curveGain_[kDeckCount] = {1.0, 1.0};
    // The DJ's equalizer switch, which outlives the output's devices.
    bool equalizerOn_[kDeckCount] = {false, false};
    std::string effectName_[kDeckCount] = {"No Effect", "No Effect"};
    MixerLineControl speakersControl_;
    MixerLineControl waveControl_;
    double speakersVolume_ = 0.0;
    double waveVolume_ = 0.0;
    double balance_ = 0.0;
};

// Holds the commands to both outputs while a deck starts, stops or turns round, so that they
// take effect together: in the same render block when the outputs share a card, within a block
// of each other on two cards.
class OutputBatch {
  public:
    OutputBatch(SoundOutput& first, SoundOutput& second);
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

  private:
    SoundCard* cards_[2] = {nullptr, nullptr};
};

}  // namespace tev
