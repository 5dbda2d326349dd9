#include "output/MixerEngine.h"

#include <algorithm>
#include <climits>

#include "core/EngineThreads.h"
#include "core/RingConsumer.h"
#include "core/SettingsStore.h"
#include "core/Trace.h"
#include "input/TrackDecoder.h"
#include "output/EffectTable.h"

namespace tev {
namespace {

int PreviousSlot(int slot) {
    return slot == 0 ? static_cast<int>(kDeckSlots) - 1 : slot - 1;
}
int NextSlot(int slot) {
    return (slot + 1) % static_cast<int>(kDeckSlots);
}

// Room for any path, so that recording a slot's source never allocates while streaming.
constexpr size_t kSourceCapacity = PATH_MAX;
constexpr size_t kTitleCapacity = 256;

}  // namespace

uint32_t DeckReports::SampleRate(int deck) const {
    return trackDecoder[deck].SampleRate();
}

MixerEngine::MixerEngine(SoundOutput& monitor, SoundOutput& main, DeckCallbacks& decks,
                         AnalysisThreads& analysis)
    : monitor_(monitor), main_(main), decks_(decks), analysis_(analysis) {
    for (auto& deck : slotSource_) {
        for (ChunkSource& source : deck) {
            source.path.reserve(kSourceCapacity);
            source.title.reserve(kTitleCapacity);
        }
    }
    for (auto& deck : slotTrackPosition_) {
        deck.fill(-1);
    }
    for (LevelMeter& meter : meters) {
        meter.Configure(10, 40.0f, 96.0f);
    }
}

LRESULT MixerEngine::OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    const int deck = static_cast<int>(wParam);
    const bool deckOk = deck >= 0 && deck < kDeckCount;
    switch (msg) {
        case WM_FILE_DIALOG_OPENING:
            writeAheadTarget_ = kWriteAheadDialog;
            return 0;
        case WM_FILE_DIALOG_CLOSED:
            writeAheadTarget_ = kWriteAheadNormal;
            return 0;
        default:
            break;
    }
    if (!deckOk) {
        return 0;
    }
    switch (msg) {
        case WM_DECK_PRIMED:
            PrepareDeckOutput(deck);
            break;
        case WM_START_FORWARD:
            return StartForward(deck) ? 1 : 0;
        case WM_START_BACKWARD:
            lastPlayedSlot_[deck] = NextSlot(lastPlayedSlot_[deck]);
            return StartBackward(deck) ? 1 : 0;
        case WM_PLAY_BACKWARD_NOTIFY:
            OnPlayBackwardNotify(deck);
            break;
        case WM_PLAY_FORWARD_NOTIFY:
            OnPlayForwardNotify(deck);
            break;
        case WM_SET_FREQUENCY:
            if (lParam >= static_cast<LPARAM>(SoundBuffer::kFrequencyMin) &&
                lParam <= static_cast<LPARAM>(SoundBuffer::kFrequencyMax)) {
                monitor_.SetFrequency(deck, static_cast<uint32_t>(lParam));
                main_.SetFrequency(deck, static_cast<uint32_t>(lParam));
            }
            break;
        case WM_RESUME_FORWARD:
            lastPlayedSlot_[deck] = PreviousSlot(lastPlayedSlot_[deck]);
            return PlayResumeAfterBackward(deck) ? 1 : 0;
        case WM_STOP_FORWARD:
            StopForward(deck);
            break;
        case WM_STOP_BACKWARD:
            StopBackward(deck);
            break;
        case WM_REFRESH_ELAPSED:
            decks_.UpdateElapsed(deck,
                                 static_cast<uint32_t>(CountSoundingSlots(deck)) * kChunkBytes);
            break;
        // The equalizer panel's band set, on the monitor and then the main output; the answer
        // is the main output's.
        case WM_APPLY_EQUALIZER:
            monitor_.ApplyEqualizer(deck);
            return main_.ApplyEqualizer(deck);
        case WM_SET_EQUALIZER_BAND:
            monitor_.SetEqualizerBand(deck, static_cast<int>(lParam));
            return main_.SetEqualizerBand(deck, static_cast<int>(lParam));
        case WM_DISABLE_EQUALIZER:
            monitor_.DisableEqualizer(deck);
            return main_.DisableEqualizer(deck);
        // The effects panel's effect and values, likewise.
        case WM_SET_EFFECT: {
            const std::string name = decks_.EffectName(deck);
            monitor_.SetEffect(deck, name);
            return main_.SetEffect(deck, name);
        }
        case WM_CLEAR_EFFECT:
            monitor_.SetEffect(deck, kNoEffect);
            return main_.SetEffect(deck, kNoEffect);
        case WM_SET_EFFECT_PARAMETER:
            monitor_.SetEffectParameter(deck, static_cast<int>(lParam));
            return main_.SetEffectParameter(deck, static_cast<int>(lParam));
        default:
            break;
    }
    return 0;
}

void MixerEngine::WriteSlot(int deck, const int16_t* samples, bool silent, int32_t trackPosition,
                            const ChunkSource& source) {
    const int k = Pacer().ForwardWriteSlot(deck);
    dataSlot_[deck][k] = !silent;
    silentSlot_[deck][k] = silent;
    if (!silent) {
        slotTrackPosition_[deck][k] = trackPosition;
    }
    ChunkSource& slot = slotSource_[deck][k];
    slot.path.assign(source.path);
    slot.title.assign(source.title);
    slot.seconds = source.seconds;
    // Silence too, so that the meters and graphs never show the last lap's audio.
    analysis_.StoreChunk(deck, samples, static_cast<uint32_t>(k) * kChunkBytes);
    monitor_.WriteForwardChunk(deck, samples);
    main_.WriteForwardChunk(deck, samples);
    if (backwardPlayEnabled.load(std::memory_order_relaxed) != 0) {
        ReverseChunk(samples, reversed_.data());
        monitor_.WriteBackwardChunk(deck, reversed_.data());
        main_.WriteBackwardChunk(deck, reversed_.data());
    }
}

bool MixerEngine::FeedForwardChunk(int deck) {
    RingConsumer& consumer = consumers_[deck];
    RingConsumer::Chunk chunk;
    if (!consumer.Peek(chunk)) {
        // The ring is empty: silence, never stale audio, and a mark that play ends here.
        static const ChunkSource kNoSource;
        WriteSlot(deck, silence_.data(), true, -1, kNoSource);
        return false;
    }
    const auto* samples = reinterpret_cast<const int16_t*>(chunk.data);
    WriteSlot(deck, samples, false, static_cast<int32_t>(chunk.position), *chunk.source);
    consumer.Release();  // frees the chunk; wakes the reader every 27 chunks taken
    return true;
}

int MixerEngine::CountDataSlots(int deck) const {
    return static_cast<int>(std::count(dataSlot_[deck].begin(), dataSlot_[deck].end(), true));
}

int MixerEngine::CountSoundingSlots(int deck) const {
    if (decks_.IsCd(deck)) {
        return CountDataSlots(deck);  // the CD's time counts across its tracks
    }
    // Written slots of the next file, once the reader went on into it, are not this file's.
    const std::string& sounding = decks_.CurrentFile(deck);
    int n = 0;
    for (size_t k = 0; k < kDeckSlots; ++k) {
        n += dataSlot_[deck][k] && slotSource_[deck][k].path == sounding ? 1 : 0;
    }
    return n;
}

void MixerEngine::PrepareDeckOutput(int deck) {
    dataSlot_[deck].fill(false);
    silentSlot_[deck].fill(false);
    const uint32_t rate = decks_.SampleRate(deck);
    const bool backward = backwardPlayEnabled.load(std::memory_order_relaxed) != 0;
    // Play is paced by the main output's notifications, or by the monitor's when it plays alone.
    monitor_.CreateDeckBuffers(deck, rate, !main_.HasDevice(), backward);
    main_.CreateDeckBuffers(deck, rate, main_.HasDevice(), backward);
    UpdateDeckVolumes();
    consumers_[deck].Restart();
    // The chart is analysed kChartLead slots ahead: these analyses chart the chunks just written.
    constexpr int kFirstAnalysed = static_cast<int>(kDeckSlots) - kWriteAheadNormal;
    for (int k = 0; k < kWriteAheadNormal; ++k) {
        FeedForwardChunk(deck);
        analysis_.Analyze(deck, kFirstAnalysed + k, false);
    }
    decks_.ShowAnalysis(deck);
    lastPlayedSlot_[deck] = 0;
    prepared_[deck] = true;
    decks_.MarkReady(deck);
}

bool MixerEngine::WaitUntilReady(int deck) {
    Event& ready = deckEvents[deck].deckReadyToPlay;
    // A deck whose reader ended without priming the ring (a file that decoded to nothing, a
    // stopped reader) never becomes ready: give up then instead of waiting for ever.
    while (!WaitPumping(ready, std::chrono::milliseconds(1))) {
        if (deckEvents[deck].threadFileReadForwardDone.IsSet() &&
            deckEvents[deck].threadCdReadForwardDone.IsSet() && !ready.IsSet()) {
            return false;
        }
    }
    return true;
}

bool MixerEngine::StartForward(int deck) {
    consumers_[deck].ResetWakeCount();
    displayCounter_[deck] = 0;
    if (!WaitUntilReady(deck)) {
        return false;
    }
    if (forwardNotifyRunning[deck].load() == 0) {
        StartNotifyForwarder(deck, PlayDirection::Forward);
        PlayOutputs(deck);
    }
    return true;
}

void MixerEngine::PlayOutputs(int deck) {
    OutputBatch together(monitor_, main_);
    monitor_.PlayForward(deck);
    main_.PlayForward(deck);
}

void MixerEngine::StopOutputs(int deck) {
    OutputBatch together(monitor_, main_);
    monitor_.StopDeck(deck);
    main_.StopDeck(deck);
}

void MixerEngine::StopForward(int deck) {
    if (forwardNotifyRunning[deck].load() == 0) {
        return;
    }
    meters[deck].Reset();
    decks_.ShowLevel(deck);
    StopOutputs(deck);
    StopNotifyForwarder(deck, PlayDirection::Forward);
}

void MixerEngine::OnPlayForwardNotify(int deck) {
    Trace("Enter: OnPlayForwardNotify : Deck ", deck);
    SoundOutput& pacer = Pacer();
    SoundOutput& follower = &pacer == &main_ ? monitor_ : main_;
    // First of all, so that a wake-up for a deck that stopped (or lost its buffers) is used up
    // rather than sending the forwarder round again at once.
    deckEvents[deck].playForwardNotify.Reset();
    if (!pacer.IsPlayingForward(deck)) {
        Trace("Leave: OnPlayForwardNotify : Deck ", deck, " : Not Playing Forward");
        return;
    }
    const int p = pacer.ForwardPlayCursor(deck);
    const int s = p / static_cast<int>(kChunkBytes);
    const int last = lastPlayedSlot_[deck];
    // Several slot ends may collapse into one wake-up, and a wake-up may repeat. (The cursor at
    // 0 is no sign of a fake: a deck that ran out of written sound waits at a slot start, slot
    // 0 included, until this handler writes more.)
    if (s == last || s == PreviousSlot(last)) {
        Trace("Leave: OnPlayForwardNotify : Deck ", deck, " : Play Notify Is Fake");
        return;
    }
    if (silentSlot_[deck][s]) {
        decks_.StopAtEnd(deck);
        Trace("Leave: OnPlayForwardNotify : Deck ", deck, " : Stop Signal");
        return;
    }
    // The monitor is kept in step with the main output; one slot behind is tolerated.
    const int m = follower.ForwardPlaySlot(deck);
    if (m != s && m != PreviousSlot(s)) {
        follower.SetPlayPosition(deck, static_cast<uint32_t>(pacer.ForwardPlayCursor(deck)));
    }
    // The slots passed since the last wake-up are played (after a stall, many of them).
    for (int i = NextSlot(last); i != s; i = NextSlot(i)) {
        dataSlot_[deck][i] = false;
    }
    // The cursor caught up with the writes: it waits, silent, where they end.
    const bool starved = !dataSlot_[deck][s];
    const int n = CountDataSlots(deck);
    bool ok = true;
    if (n == writeAheadTarget_) {
        ok = FeedForwardChunk(deck);
    } else if (n < writeAheadTarget_) {
        // Two chunks, or as many as bring the normal write-ahead back: wake-ups that several
        // slot ends collapsed into (a busy UI thread, a high sample rate) must not drain it.
        const int upTo = std::max(n + 1, std::min(writeAheadTarget_, kWriteAheadNormal));
        for (int i = n; i <= upTo && ok; ++i) {
            ok = FeedForwardChunk(deck);
        }
    }
    if (starved) {
        // Refill past it and the whole write-ahead, and start again from there.
        StopOutputs(deck);
        meters[deck].Reset();
        decks_.ShowLevel(deck);
        while (ok && !dataSlot_[deck][s]) {
            ok = FeedForwardChunk(deck);
        }
        for (int i = 0; i < kWriteAheadNormal; ++i) {
            FeedForwardChunk(deck);
        }
        consumers_[deck].ResetWakeCount();
        displayCounter_[deck] = 0;
        PlayOutputs(deck);
    }
    dataSlot_[deck][last] = false;
    dataSlot_[deck][s] = false;
    lastPlayedSlot_[deck] = s;
    ReportTrackChange(deck, s);
    decks_.StepRotation(deck, +1);
    ShowSlotHeard(deck, s, false);
    UpdateDisplay(deck);
    Trace("Leave: OnPlayForwardNotify : Deck ", deck, " : Normal");
}

void MixerEngine::ReportTrackChange(int deck, int slot) {
    if (decks_.IsCd(deck)) {
        if (slotTrackPosition_[deck][slot] >= 0 &&
            slotTrackPosition_[deck][slot] != decks_.CurrentCdTrack(deck)) {
            decks_.SelectCdTrack(deck, slotTrackPosition_[deck][slot]);
        }
        return;
    }
    const ChunkSource& source = slotSource_[deck][slot];
    if (!source.path.empty() && source.path != decks_.CurrentFile(deck)) {
        decks_.ShowTrackChange(deck, source);
    }
}

void MixerEngine::UpdateDisplay(int deck) {
    // Every third notification refreshes the deck's time and position.
    if (++displayCounter_[deck] >= 3) {
        decks_.UpdateElapsed(deck, static_cast<uint32_t>(CountSoundingSlots(deck)) * kChunkBytes);
        decks_.UpdatePositionFromElapsed(deck);
        displayCounter_[deck] = 0;
    }
}

void MixerEngine::ShowSlotHeard(int deck, int slot, bool backward) {
    meters[deck].Set(analysis_.ChunkLevelDb(deck, slot));
    decks_.ShowLevel(deck);
    analysis_.Analyze(deck, slot, backward);
    decks_.ShowAnalysis(deck);
}

void MixerEngine::ReverseChunk(const int16_t* chunk, int16_t* reversed) {
    for (uint32_t f = 0; f < kChunkFrames; ++f) {
        const uint32_t from = kChunkFrames - 1 - f;
        reversed[2 * f] = chunk[2 * from];
        reversed[2 * f + 1] = chunk[2 * from + 1];
    }
}

bool MixerEngine::StartBackward(int deck) {
    if (!WaitUntilReady(deck)) {
        return false;
    }
    if (backwardNotifyRunning[deck].load() == 0) {
        StartNotifyForwarder(deck, PlayDirection::Backward);
        OutputBatch together(monitor_, main_);
        monitor_.SwitchToBackward(deck);
        main_.SwitchToBackward(deck);
    }
    return true;
}

void MixerEngine::StopBackward(int deck) {
    if (backwardNotifyRunning[deck].load() == 0) {
        return;
    }
    StopOutputs(deck);
    StopNotifyForwarder(deck, PlayDirection::Backward);
}

void MixerEngine::OnPlayBackwardNotify(int deck) {
    SoundOutput& pacer = Pacer();
    deckEvents[deck].playBackwardNotify.Reset();
    if (!pacer.IsPlayingBackward(deck)) {
        return;
    }
    const int p = pacer.BackwardPlayCursor(deck);
    const int v = static_cast<int>(kDeckSlots) - 1 - p / static_cast<int>(kChunkBytes);
    const int last = lastPlayedSlot_[deck];
    if (v == last || v == NextSlot(last) || p == 0) {
        return;
    }
    // Slots that backward play has passed are ahead of the forward position again.
    int steps = 0;
    for (int i = last; i != v; i = PreviousSlot(i)) {
        dataSlot_[deck][i] = true;
        ++steps;
    }
    if (steps >= 4) {
        return;  // a jump, not play: wait for the cursor to settle
    }
    dataSlot_[deck][v] = true;
    lastPlayedSlot_[deck] = v;
    if (CountDataSlots(deck) >= kHistoryLimit) {
        // The history is used up. This handler runs for the backward forwarder, so it is only
        // told to end, not waited for.
        StopOutputs(deck);
        backwardNotifyRunning[deck].exchange(0);
        deckEvents[deck].playBackwardNotify.Set();
    }
    decks_.StepRotation(deck, -1);
    ShowSlotHeard(deck, v, true);
    UpdateDisplay(deck);
}

bool MixerEngine::PlayResumeAfterBackward(int deck) {
    Trace("Enter: PlayResumeAfterBackward : Deck ", deck);
    if (!WaitUntilReady(deck)) {
        return false;
    }
    if (forwardNotifyRunning[deck].load() != 0) {
        Trace("Leave: PlayResumeAfterBackward : Deck ", deck,
              " : Play Forward Notify Thread Is Running");
        return true;
    }
    StartNotifyForwarder(deck, PlayDirection::Forward);
    {
        OutputBatch together(monitor_, main_);
        monitor_.SwitchToForward(deck);
        main_.SwitchToForward(deck);
    }
    Trace("Leave: PlayResumeAfterBackward : Deck ", deck, " : Normal");
    return true;
}

void MixerEngine::SuspendForDeviceChange() {
    // Every wait that pumps messages comes first: a handler may still rebuild a deck's buffers.
    bool playing[kDeckCount] = {false, false};
    for (int deck = 0; deck < kDeckCount; ++deck) {
        playing[deck] =
            forwardNotifyRunning[deck].load() != 0 || backwardNotifyRunning[deck].load() != 0;
        if (backwardNotifyRunning[deck].load() != 0) {
            StopBackward(deck);
        }
        if (forwardNotifyRunning[deck].load() != 0) {
            StopNotifyForwarder(deck, PlayDirection::Forward);
        }
    }
    for (int deck = 0; deck < kDeckCount; ++deck) {
        HeldDeck& held = held_[deck];
        held.prepared = prepared_[deck];
        held.playing = playing[deck];
        held.slotCount = 0;
        if (!held.prepared) {
            continue;
        }
        SoundOutput& pacer = Pacer();
        const DeckBufferDevice* device = pacer.deckDevice();
        const SoundBuffer* forward = device != nullptr ? device->deck(deck).forwardBuffer : nullptr;
        held.rate = device != nullptr ? device->deck(deck).sampleRate : decks_.SampleRate(deck);
        held.frequency = forward != nullptr ? forward->GetFrequency() : held.rate;
        if (forward == nullptr) {
            continue;  // nothing was heard: the deck starts again from its ring
        }
        // From the slot playing to the last written: what the listener has yet to hear.
        const auto p = static_cast<uint32_t>(pacer.ForwardPlayCursor(deck));
        const int s = static_cast<int>(p / kChunkBytes);
        held.offset = p % kChunkBytes;
        held.slotCount = (pacer.ForwardWriteSlot(deck) - s + static_cast<int>(kDeckSlots)) %
                         static_cast<int>(kDeckSlots);
        held.samples.resize(static_cast<size_t>(held.slotCount) * kChunkBytes / 2);
        for (int i = 0; i < held.slotCount; ++i) {
            const int k = (s + i) % static_cast<int>(kDeckSlots);
            forward->Read(static_cast<uint32_t>(k) * kChunkBytes,
                          held.samples.data() + static_cast<size_t>(i) * kChunkBytes / 2,
                          kChunkBytes);
            held.silent[i] = silentSlot_[deck][k];
            held.trackPosition[i] = slotTrackPosition_[deck][k];
            held.source[i] = slotSource_[deck][k];
        }
    }
}

void MixerEngine::ResumeAfterDeviceChange() {
    for (int deck = 0; deck < kDeckCount; ++deck) {
        HeldDeck& held = held_[deck];
        if (!held.prepared) {
            continue;
        }
        dataSlot_[deck].fill(false);
        silentSlot_[deck].fill(false);
        const bool backward = backwardPlayEnabled.load(std::memory_order_relaxed) != 0;
        monitor_.CreateDeckBuffers(deck, held.rate, !main_.HasDevice(), backward);
        main_.CreateDeckBuffers(deck, held.rate, main_.HasDevice(), backward);
        if (held.frequency != held.rate) {
            monitor_.SetFrequency(deck, held.frequency);
            main_.SetFrequency(deck, held.frequency);
        }
        UpdateDeckVolumes();
        for (int i = 0; i < held.slotCount; ++i) {
            WriteSlot(deck, held.samples.data() + static_cast<size_t>(i) * kChunkBytes / 2,
                      held.silent[i], held.trackPosition[i], held.source[i]);
        }
        dataSlot_[deck][0] = false;  // playing
        while (CountDataSlots(deck) < kWriteAheadNormal && FeedForwardChunk(deck)) {
        }
        lastPlayedSlot_[deck] = 0;
        monitor_.SetPlayPosition(deck, held.offset);
        main_.SetPlayPosition(deck, held.offset);
        held.samples = {};
        if (held.playing) {
            consumers_[deck].ResetWakeCount();
            displayCounter_[deck] = 0;
            StartNotifyForwarder(deck, PlayDirection::Forward);
            PlayOutputs(deck);
        }
    }
}

void MixerEngine::UpdateDeckVolumes() {
    const double levels[kDeckCount] = {deckLevel[0].Get(), deckLevel[1].Get()};
    monitor_.ApplyCrossFader(monitorCrossFader.Get(), levels);
    main_.ApplyCrossFader(mainCrossFader.Get(), levels);
}

void MixerEngine::SetCurveParameter(double p, SettingsStore* store) {
    curveParameter.Set(p);
    monitor_.ComputeCrossFadeCurve(p);
    main_.ComputeCrossFadeCurve(p);
    PostAppMessage(hMainWnd, WM_REDRAW_CURVE_GRAPH);
    UpdateDeckVolumes();
    if (store != nullptr) {
        store->SaveCrossFaderCurvePosition(static_cast<float>(p));
    }
}

}  // namespace tev
