#include "decks/DeckTransport.h"

#include <algorithm>
#include <cmath>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/RingProducer.h"
#include "core/Trace.h"
#include "input/CdReader.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"

namespace tev {

uint32_t DeckTransport::TempoRate(uint32_t sampleRate, double tempo) {
    const double r = sampleRate;
    return static_cast<uint32_t>(std::max(0.0, std::trunc(r + r * tempo / 100)));
}

uint32_t DeckTransport::SourceRate() const {
    return source_ == kSourceCd ? 44100 : trackDecoder[deck_].SampleRate();
}

void DeckTransport::ShowTime(double seconds) {
    if (display_ != nullptr) {
        display_->ShowTime(seconds);
    }
}

void DeckTransport::ShowLength() {
    if (display_ != nullptr) {
        display_->ShowLength();
    }
}

void DeckTransport::SyncPosition(double fraction) {
    position_.Set(fraction);
    PostAppMessage(hMainWnd, WM_SYNC_POSITION_SLIDER, WPARAM(deck_));
}

// ---- Loading ----

bool DeckTransport::StopCdReader(bool updateDisplay) {
    if (StopReader(deck_, ReaderKind::Cd, updateDisplay, kCdStopTimeout)) {
        return true;
    }
    Cd().AbandonReader(deck_);
    Cd().Close(deck_);
    SendAppMessage(hMixerWnd, WM_CD_CLOSED, WPARAM(deck_));
    const std::string drive = filePath_;
    source_ = kSourceNone;
    if (updateDisplay) {
        ShowEmpty();
        if (display_ != nullptr) {
            display_->ReportCdProblem(drive);
        }
    }
    return false;
}

void DeckTransport::StopReaderAndClose(bool updateDisplay) {
    StopTrackEndBlink();
    if (source_ == kSourceCd) {
        if (StopCdReader(updateDisplay)) {
            Cd().Close(deck_);
            SendAppMessage(hMixerWnd, WM_CD_CLOSED, WPARAM(deck_));
        }
    } else if (source_ == kSourceFile) {
        StopReader(deck_, ReaderKind::File, updateDisplay);
        trackDecoder[deck_].Close();
    }
    // Nothing is loaded while a load waits for its open thread.
    source_ = kSourceNone;
}

void DeckTransport::Unload(bool updateDisplay) {
    ++loads_;
    cueEngaged_ = false;
    if (playing_) {
        PlayPause(true);
    }
    StopReaderAndClose(updateDisplay);
    if (updateDisplay) {
        ShowEmpty();
    }
}

void DeckTransport::ShowEmpty() {
    source_ = kSourceNone;
    ShowTime(0.0);
    SyncPosition(0.0);
    // An empty deck names nothing.
    title_.clear();
    filePath_.clear();
    lengthSeconds_ = 0.0;
    ShowLength();
    PostAppMessage(hMainWnd, WM_SHOW_TITLE, WPARAM(deck_));
}

bool DeckTransport::LoadFile(const std::string& path) {
    if (opening_) {
        return false;  // one open at a time: the decoder is the open thread's until it is done
    }
    const uint32_t load = ++loads_;
    if (playing_) {
        PlayPause(true);
    }
    StopReaderAndClose(true);
    // The caller needs the answer, so the wait stays; it dispatches messages, and nothing of the
    // engine is held across it.
    opening_ = true;
    const bool opened = OpenFileIntoDeck(deck_, path);
    opening_ = false;
    if (load != loads_) {
        trackDecoder[deck_].Close();  // the deck was unloaded meanwhile
        return false;
    }
    if (!opened) {
        ShowEmpty();
        return false;
    }
    stoppedAtEnd_ = false;
    {
        // The reader has not started: the decoder is still this thread's to ask.
        const TrackDecoder& decoder = trackDecoder[deck_];
        ShowTrackChange({path, decoder.GetTitle(), decoder.GetDuration()});
    }
    ShowTime(lengthSeconds_);  // the length first; the elapsed time follows
    source_ = kSourceFile;
    SyncPosition(0.0);
    readerThread_ = StartFileReader(deck_);
    return true;
}

bool DeckTransport::LoadCdDrive(int drive) {
    if (opening_) {
        return false;
    }
    const uint32_t load = ++loads_;
    if (playing_) {
        PlayPause(true);
    }
    StopReaderAndClose(true);
    opening_ = true;
    const bool opened = OpenCdIntoDeck(deck_, drive);
    opening_ = false;
    if (load != loads_) {
        Cd().Close(deck_);
        return false;
    }
    if (!opened) {
        ShowEmpty();
        return false;
    }
    CdReader& cd = Cd();
    stoppedAtEnd_ = false;
    cdTrackCount_ = cd.TrackCount(deck_);
    filePath_ = cd.DriveNameAt(drive);
    SelectCdTrack(1);
    ShowTime(cd.DiscLength(deck_));  // the disc's length first
    source_ = kSourceCd;
    SyncPosition(0.0);
    readerThread_ = StartCdReader(deck_);
    return true;
}

void DeckTransport::LoadCdTrack(int track) {
    if (source_ != kSourceCd || !Cd().IsOpen(deck_)) {
        return;  // only a track of the CD this deck holds
    }
    if (playing_) {
        PlayPause(true);
    }
    if (!StopCdReader(true)) {
        return;
    }
    stoppedAtEnd_ = false;
    SelectCdTrack(track);
    SyncPosition(0.0);
    readerThread_ = StartCdReader(deck_, track, 0.0);
}

void DeckTransport::SelectCdTrack(int track) {
    cueEngaged_ = false;
    StopTrackEndBlink();
    cdTrack_ = track;
    lengthSeconds_ = Cd().TrackLength(deck_, track);
    // The track's CD-TEXT title, else the disc's; with neither the drive's name is shown.
    std::string title = Cd().Title(deck_, track);
    if (title.empty()) {
        title = Cd().Title(deck_, 0);
    }
    title_ = QString::fromUtf8(title);
    PostAppMessage(hMainWnd, WM_SHOW_TITLE, WPARAM(deck_));
    ShowLength();
}

void DeckTransport::ShowTrackChange(const ChunkSource& source) {
    cueEngaged_ = false;
    if (source.path.empty()) {
        return;
    }
    // Files shorter than the ring are read ahead of each other: the reader is still in a later
    // file unless this is the last one it was handed.
    if (source.path == handedPath_) {
        handedPath_.clear();
        StopTrackEndBlink();
    }
    title_ = QString::fromStdString(source.title);
    filePath_ = source.path;
    PostAppMessage(hMainWnd, WM_SHOW_TITLE, WPARAM(deck_));
    lengthSeconds_ = source.seconds;
    ShowLength();
}

void DeckTransport::OpenFile(const std::string& path) {
    deckFilePath[deck_] = path;
    handedPath_ = path;
    trackDecoder[deck_].ContinueWith(path);
}

void DeckTransport::StartTrackEndBlink() {
    if (!trackEndBlinking_) {
        trackEndBlinking_ = true;
        if (display_ != nullptr) {
            display_->ShowTrackEndBlink(true);
        }
    }
}

void DeckTransport::StopTrackEndBlink() {
    handedPath_.clear();
    if (trackEndBlinking_) {
        trackEndBlinking_ = false;
        if (display_ != nullptr) {
            display_->ShowTrackEndBlink(false);
        }
    }
}

void DeckTransport::MarkReady() {
    readerThread_.SetPriority(kPriorityBelowNormal);
    SendAppMessage(hMainWnd, WM_DECK_READER_STATE, WPARAM(deck_), 1);
    // The buffers were made anew at the track's own rate: the tempo applies to them too.
    if (tempo_.Get() != 0.0) {
        SendAppMessage(hMixerWnd, WM_SET_FREQUENCY, WPARAM(deck_),
                       LPARAM(TempoRate(SourceRate(), tempo_.Get())));
    }
    deckEvents[deck_].deckReadyToPlay.Set();
}

// ---- Play ----

void DeckTransport::PlayPause(bool noCueReturn) {
    if (source_ == kSourceNone) {
        return;
    }
    if (playing_) {
        Pause(noCueReturn);
        return;
    }
    if (pausing_) {
        Trace("Can't Play Yet, Still Pausing", deck_);
        startAfterPause_ = true;
        return;
    }
    if (stoppedAtEnd_) {
        // The track has played out: play starts it again from the top.
        SyncPosition(0.0);
        ApplyPosition();
    }
    StartPlay();
}

void DeckTransport::Pause(bool noCueReturn) {
    pausing_ = true;
    SendAppMessage(hMainWnd, WM_ENABLE_REV, WPARAM(deck_), 0);
    if (playingBackward_) {
        // Back to forward play at the point backward play reached, so that the pause silences
        // the deck and play later continues from there.
        SendAppMessage(hMixerWnd, WM_STOP_BACKWARD, WPARAM(deck_));
        SendAppMessage(hMixerWnd, WM_RESUME_FORWARD, WPARAM(deck_));
        playingBackward_ = false;
    }
    SendAppMessage(hMixerWnd, WM_STOP_FORWARD, WPARAM(deck_));
    playing_ = false;
    if (!noCueReturn && cueEngaged_ && lengthSeconds_ > 0) {
        draggingPosition_ = true;
        SyncPosition(cuePointSeconds_ / lengthSeconds_);
        ApplyPosition();
        atCuePoint_ = true;
        ShowTime(cuePointSeconds_);
    }
    pausing_ = false;
    if (startAfterPause_) {
        startAfterPause_ = false;
        StartPlay();
    }
}

void DeckTransport::StartPlay() {
    stoppedAtEnd_ = false;
    // The mixer waits, dispatching messages, until the ring is primed; it refuses when the
    // reader ended without priming it.
    if (SendAppMessage(hMixerWnd, WM_START_FORWARD, WPARAM(deck_)) == 0) {
        Trace("Can't Play, The Deck Is Not Ready", deck_);
        PlayLost();  // Rev may still be on from play that ended at the end of the track
        return;
    }
    playing_ = true;
    PostAppMessage(hMainWnd, WM_ENABLE_REV, WPARAM(deck_), 1);
    atCuePoint_ = false;
    PostAppMessage(hMainWnd, WM_BLINK_ELAPSED, WPARAM(deck_));
}

void DeckTransport::PlayLost() {
    playing_ = false;
    PostAppMessage(hMainWnd, WM_ENABLE_REV, WPARAM(deck_), 0);
}

void DeckTransport::PlayBackward() {
    Trace("Enter: PlayBackward", deck_);
    if (!playingBackward_) {
        startingBackward_ = true;
        SendAppMessage(hMixerWnd, WM_STOP_FORWARD, WPARAM(deck_));
        playingBackward_ = SendAppMessage(hMixerWnd, WM_START_BACKWARD, WPARAM(deck_)) != 0;
        startingBackward_ = false;
        if (!playingBackward_) {
            PlayLost();  // forward play has stopped and nothing took its place
        }
        if (resumeAfterBackwardStart_) {
            resumeAfterBackwardStart_ = false;
            ResumeForward();
        }
    }
    Trace("Leave: PlayBackward", deck_);
}

void DeckTransport::PlayResumeAfterBackward() {
    Trace("Enter: PlayResumeAfterBackward", deck_);
    if (startingBackward_) {
        Trace("Can't Play Forward Yet, Still Playing Backward", deck_);
        resumeAfterBackwardStart_ = true;
    } else {
        ResumeForward();
    }
    Trace("Leave: PlayResumeAfterBackward", deck_);
}

void DeckTransport::ResumeForward() {
    if (!playingBackward_) {
        Trace("Can't Resume Playing Forward, Not Playing Backward", deck_);
        return;
    }
    SendAppMessage(hMixerWnd, WM_STOP_BACKWARD, WPARAM(deck_));
    const bool resumed = SendAppMessage(hMixerWnd, WM_RESUME_FORWARD, WPARAM(deck_)) != 0;
    playingBackward_ = false;
    if (!resumed) {
        PlayLost();
        return;
    }
    Trace("Play Resume After Backward Message Sent", deck_);
}

void DeckTransport::StopAtEnd() {
    // The queue takes every post while the program runs.
    PostAppMessage(hMixerWnd, WM_STOP_FORWARD, WPARAM(deck_));
    playing_ = false;
    StopTrackEndBlink();
    stoppedAtEnd_ = true;
}

// ---- Position ----

void DeckTransport::SeekTo(double fraction) {
    draggingPosition_ = true;
    SyncPosition(fraction);
    ApplyPosition();
}

void DeckTransport::BeginPositionChange() {
    draggingPosition_ = true;
}

void DeckTransport::SetPendingPosition(double fraction) {
    position_.Set(fraction);
}

void DeckTransport::WindBy(double seconds) {
    if (lengthSeconds_ > 0) {
        SyncPosition(position_.Get() + seconds / lengthSeconds_);
    }
}

void DeckTransport::ApplyPosition() {
    const bool wasPlaying = playing_;
    if (playing_) {
        PlayPause(true);
    }
    // Winding past either end of the track lands on that end.
    const double fraction =
        std::isnan(position_.Get()) ? 0.0 : std::clamp(position_.Get(), 0.0, 1.0);
    position_.Set(fraction);
    if (source_ == kSourceFile) {
        StopReader(deck_, ReaderKind::File, true);
        if (trackEndBlinking_) {
            // The decoder has gone on into the next file: back to the one that sounds.
            StopTrackEndBlink();
            trackDecoder[deck_].Close();
        }
        // The decoder closes at the end of the track: the reader opens it again.
        readerThread_ = StartFileReader(deck_, FileReaderStart{filePath_, fraction});
        elapsedSeconds_ = fraction * lengthSeconds_;
    } else if (source_ == kSourceCd) {
        StopTrackEndBlink();
        if (!StopCdReader(true)) {
            draggingPosition_ = false;
            return;
        }
        // Within the track the deck sounds, which the reader, ahead of it, may have left.
        readerThread_ = StartCdReader(deck_, cdTrack_, fraction * lengthSeconds_);
        elapsedSeconds_ = fraction * lengthSeconds_;
    }
    if (wasPlaying) {
        PlayPause(true);
    }
    draggingPosition_ = false;
}

// ---- Tempo and cue ----

void DeckTransport::SetTempo(double tempo) {
    tempo_.Set(tempo);
    const uint32_t sourceRate = SourceRate();
    if (sourceRate > 0) {
        SendAppMessage(hMixerWnd, WM_SET_FREQUENCY, WPARAM(deck_),
                       LPARAM(TempoRate(sourceRate, tempo)));
    }
}

bool DeckTransport::EngageCue() {
    cueEngaged_ = source_ != kSourceNone;
    if (cueEngaged_) {
        cuePointSeconds_ = elapsedSeconds_;
    }
    return cueEngaged_;
}

void DeckTransport::ReleaseCue() {
    cueEngaged_ = false;
    cuePointSeconds_ = 0.0;
    atCuePoint_ = false;
}

void DeckTransport::SetAtCuePoint(bool at) {
    atCuePoint_ = at;
}

// ---- Time from play ----

void DeckTransport::UpdateElapsed(uint32_t bytesAhead) {
    if (atCuePoint_ || draggingPosition_ || source_ == kSourceNone) {
        return;
    }
    // Once the reader has gone on into the next file, only the sounding file's chunks are still
    // to be heard of it. The consumer (this thread) reads a filled chunk's source: the producer
    // leaves it alone until the chunk is taken.
    uint64_t queued = 0;
    const DeckRing& ring = deckRing[deck_];
    const bool onlySounding = trackEndBlinking_ && source_ == kSourceFile;
    for (uint32_t i = 0; i < kRingChunks; ++i) {
        if (ring.chunkFilled[i].load(std::memory_order_acquire) != 0 &&
            (!onlySounding || ring.chunkSource[i].path == filePath_)) {
            queued += kChunkBytes;
        }
    }
    // The ring and the buffers hold 16-bit stereo at the source's rate, whatever the file's own
    // format.
    const uint32_t rate = SourceRate();
    const double buffered =
        rate > 0 ? static_cast<double>(bytesAhead + queued) / rate / kBytesPerFrame : 0.0;
    if (source_ == kSourceCd) {
        // The reader may already be in a later track: count from where the sounding track starts.
        elapsedSeconds_ = Cd().Position(deck_) - buffered - Cd().TrackStart(deck_, cdTrack_);
    } else {
        // The decoder closes once it has read the last of the file; the reader is then at its end.
        const TrackDecoder& decoder = trackDecoder[deck_];
        const double readerSeconds =
            decoder.IsOpen() && !trackEndBlinking_ ? decoder.GetPosition() : lengthSeconds_;
        elapsedSeconds_ = readerSeconds - buffered;
    }
    ShowTime(elapsedSeconds_);
}

void DeckTransport::UpdatePositionFromElapsed() {
    if (draggingPosition_ || lengthSeconds_ <= 0) {
        return;
    }
    SyncPosition(std::clamp(elapsedSeconds_ / lengthSeconds_, 0.0, 1.0));
}

}  // namespace tev
