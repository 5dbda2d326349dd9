#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AnalysisThreads.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/RingConsumer.h"
#include "output/BoundedValue.h"
#include "output/LevelMeter.h"
#include "output/SoundOutput.h"
#include "platform/MessageLayer.h"
#include "platform/WorkerThread.h"

namespace tev {

class SettingsStore;

// What the streaming tells the panels: a deck panel (and, through it, the play list), and the
// mixer's level meters. The mixer panel implements it; DeckReports gives the plain behaviour
// for a deck without a panel.
class DeckCallbacks {
  public:
    virtual ~DeckCallbacks() = default;
    // The deck's source: a CD, or a file.
    virtual bool IsCd(int deck) const = 0;
    virtual int CurrentCdTrack(int deck) const = 0;
    virtual const std::string& CurrentFile(int deck) const = 0;
    // The rate of the deck's audio.
    virtual uint32_t SampleRate(int deck) const = 0;
    // The ring is primed and the buffers prepared: the deck may play.
    virtual void MarkReady(int deck) = 0;
    // Play reached the silence after the deck's last audio: stop it, after this handler.
    virtual void StopAtEnd(int deck) = 0;
    // The sounding track changed: to the file of `source` or to CD track `track`.
    virtual void ShowTrackChange(int deck, const ChunkSource& source) = 0;
    virtual void SelectCdTrack(int deck, int track) = 0;
    virtual void StepRotation(int deck, int direction) = 0;
    // `bytesAhead` of audio are written ahead of the play position.
    virtual void UpdateElapsed(int deck, uint32_t bytesAhead) = 0;
    virtual void UpdatePositionFromElapsed(int deck) = 0;
    // The deck's level meter moved.
    virtual void ShowLevel(int deck) = 0;
    // The effect chosen in the deck's effects panel.
    virtual std::string EffectName(int deck) const = 0;
    // The analysis tables hold the deck's newest chunk: the analyzer may show them.
    virtual void ShowAnalysis(int deck) = 0;
};

// A deck without a panel: files from the deck's decoder, ready when primed, stopped at the end.
class DeckReports : public DeckCallbacks {
  public:
    bool IsCd(int) const override { return false; }
    int CurrentCdTrack(int) const override { return 0; }
    const std::string& CurrentFile(int deck) const override { return currentFile[deck]; }
    uint32_t SampleRate(int deck) const override;
    void MarkReady(int deck) override { deckEvents[deck].deckReadyToPlay.Set(); }
    void StopAtEnd(int deck) override { PostAppMessage(hMixerWnd, WM_STOP_FORWARD, WPARAM(deck)); }
    void ShowTrackChange(int deck, const ChunkSource& source) override {
        currentFile[deck] = source.path;
    }
    void SelectCdTrack(int, int) override {}
    void StepRotation(int, int) override {}
    void UpdateElapsed(int, uint32_t) override {}
    void UpdatePositionFromElapsed(int) override {}
    void ShowLevel(int) override {}
    std::string EffectName(int deck) const override { return effectName[deck]; }
    void ShowAnalysis(int) override {}

    std::string currentFile[kDeckCount];
    std::string effectName[kDeckCount] = {"No Effect", "No Effect"};
};

// The mixer's engine: streams each deck's ring into its forward and backward buffers on both
// outputs, paced by the main output's notifications (the monitor's when there is no main device),
// plays backward and resumes, and turns the levels and cross faders into deck volumes. It is the
// receiver of the engine's messages behind the mixer panel. Every chunk written is also stored
// in the analysis, which gives the meters their levels and analyses each chunk played.
// [UI thread] every operation.
class MixerEngine : public MessageReceiver {
  public:
    static constexpr int kWriteAheadNormal = 26;
    static constexpr int kWriteAheadDialog = 60;  // while a file dialog is open
    static constexpr int kHistoryLimit = 108;     // slots of backward play, 7.2 s

    // The analysis must outlive the engine's last streaming.
    MixerEngine(SoundOutput& monitor, SoundOutput& main, DeckCallbacks& decks,
                AnalysisThreads& analysis);

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // Forward streaming.
    bool FeedForwardChunk(int deck);
    int CountDataSlots(int deck) const;
    // The written slots still to sound of the deck's sounding file (of the CD: all of them).
    int CountSoundingSlots(int deck) const;
    void PrepareDeckOutput(int deck);
    // False when the deck never became ready (its reader ended without priming the ring).
    bool StartForward(int deck);
    void StopForward(int deck);
    void OnPlayForwardNotify(int deck);

    // Backward play. The starts return false, as StartForward does, when the deck never became
    // ready.
    bool StartBackward(int deck);
    void StopBackward(int deck);
    void OnPlayBackwardNotify(int deck);
    bool PlayResumeAfterBackward(int deck);
    // Frames in reverse order, each keeping its left and right sample.
    static void ReverseChunk(const int16_t* chunk, int16_t* reversed);

    // Around a change of output devices. Before it, the decks' notify threads stop and what the
    // listener has yet to hear of each deck is kept; after it, each deck's buffers are made anew
    // on the new devices from the position heard, and a deck that was playing plays on.
    void SuspendForDeviceChange();
    void ResumeAfterDeviceChange();

    // Mixing values and their way to the outputs.
    void UpdateDeckVolumes();
    void SetCurveParameter(double p, SettingsStore* store);
    BoundedValue deckLevel[kDeckCount] = {{0.7, 0, 1}, {0.7, 0, 1}};
    BoundedValue mainCrossFader{-1.0, -1, 1};
    BoundedValue monitorCrossFader{-1.0, -1, 1};
    BoundedValue curveParameter{0.0, -1, 1};
    // Follow the loudness of each deck's audible slot, forward and backward; reset when
    // forward play stops and when starved play starts again.
    LevelMeter meters[kDeckCount];

    int writeAheadTarget() const { return writeAheadTarget_; }
    int lastPlayedSlot(int deck) const { return lastPlayedSlot_[deck]; }
    bool dataSlot(int deck, int slot) const { return dataSlot_[deck][slot]; }
    bool silentSlot(int deck, int slot) const { return silentSlot_[deck][slot]; }

  private:
    // The output whose notifications pace play: the main one, or the monitor without it.
    SoundOutput& Pacer() { return main_.HasDevice() ? main_ : monitor_; }
    bool WaitUntilReady(int deck);
    // Each changes both outputs of a deck together (see OutputBatch).
    void PlayOutputs(int deck);
    void StopOutputs(int deck);
    // Writes a chunk into the next forward slot of both outputs (and its reversed copy into the
    // backward buffers) and records what the slot holds.
    void WriteSlot(int deck, const int16_t* samples, bool silent, int32_t trackPosition,
                   const ChunkSource& source);
    // The slot became audible: the meter follows it and the analysis takes it.
    void ShowSlotHeard(int deck, int slot, bool backward);
    void ReportTrackChange(int deck, int slot);
    void UpdateDisplay(int deck);

    SoundOutput& monitor_;
    SoundOutput& main_;
    DeckCallbacks& decks_;
    AnalysisThreads& analysis_;
    int writeAheadTarget_ = kWriteAheadNormal;
    std::array<std::array<bool, kDeckSlots>, kDeckCount> dataSlot_{};
    std::array<std::array<bool, kDeckSlots>, kDeckCount> silentSlot_{};
    std::array<std::array<int32_t, kDeckSlots>, kDeckCount> slotTrackPosition_{};
    std::array<std::array<ChunkSource, kDeckSlots>, kDeckCount> slotSource_;
    int lastPlayedSlot_[kDeckCount] = {0, 0};
    RingConsumer consumers_[kDeckCount] = {RingConsumer(0), RingConsumer(1)};
    int displayCounter_[kDeckCount] = {0, 0};
    std::array<int16_t, kChunkBytes / 2> silence_{};
    std::array<int16_t, kChunkBytes / 2> reversed_{};
    bool prepared_[kDeckCount] = {false, false};

    // What a device change keeps of a deck: the slots from the one playing to the last written.
    struct HeldDeck {
        bool prepared = false;
        bool playing = false;
        uint32_t rate = 0;
        uint32_t frequency = 0;
        uint32_t offset = 0;  // the play cursor's bytes into the first slot
        int slotCount = 0;
        std::vector<int16_t> samples;
        std::array<bool, kDeckSlots> silent{};
        std::array<int32_t, kDeckSlots> trackPosition{};
        std::array<ChunkSource, kDeckSlots> source;
    };
    HeldDeck held_[kDeckCount];
};

}  // namespace tev
