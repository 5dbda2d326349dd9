#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "core/EngineState.h"
#include "output/BoundedValue.h"
#include "platform/WorkerThread.h"

namespace tev {

// Whoever shows a deck (its panel) hears of the changes that have no control of their own to
// post to: the time and the length it should show. Every other change reaches the main window
// as a posted message.
class DeckDisplay {
  public:
    virtual ~DeckDisplay() = default;
    // The Time label is to show `seconds`.
    virtual void ShowTime(double seconds) = 0;
    // The track's length changed (lengthSeconds()).
    virtual void ShowLength() = 0;
    // The CD drive failed the deck (Cd().LastError says how), which is now empty.
    virtual void ReportCdProblem(const std::string& driveName) = 0;
    // The reader has gone on into the next track while this one still sounds (trackEndBlinking).
    virtual void ShowTrackEndBlink(bool on) = 0;
};

// The transport of one deck: what it plays (a file or a CD track), its reader, where in the
// track it is, and whether it plays forward, backward or not at all. It runs the deck's reader
// and asks the mixer, synchronously, to start and stop play; display updates go to the main
// window, posted. The deck panel delegates to it; keyboard control may drive it without one.
//
// [UI thread] everything. The waits for the open threads, the reader stops and the mixer's starts
// dispatch messages, so any operation may run inside another: `pausing` and `startingBackward`
// hold a start or a resume that arrives meanwhile until the operation it would disturb is done.
// The decoder opens and seeks on the deck's own threads, never on the UI thread.
class DeckTransport {
  public:
    enum Source { kSourceCd = 0, kSourceFile = 1, kSourceNone = 2 };

    explicit DeckTransport(int deck = 0) : deck_(deck) {}
    DeckTransport(const DeckTransport&) = delete;
    DeckTransport& operator=(const DeckTransport&) = delete;

    void SetDeck(int deck) { deck_ = deck; }
    int deck() const { return deck_; }
    // nullptr: nothing shows the deck.
    void SetDisplay(DeckDisplay* display) { display_ = display; }

    // Loading. Each pauses the deck and lets go of what it held first.
    // A sound file; false when the decoder does not recognise it (the deck is then empty), when
    // the deck was unloaded while the file opened, or when another open is still under way.
    bool LoadFile(const std::string& path);
    // The disc in a drive of the CD list, at its first track; false when no audio disc could be
    // read (the deck is then empty).
    bool LoadCdDrive(int drive);
    // A track of the loaded CD, from its start; nothing unless a CD is loaded.
    void LoadCdTrack(int track);
    // Pauses, stops the reader and closes the source; the deck is empty. With `updateDisplay`
    // false nothing is shown (the deck is going away).
    void Unload(bool updateDisplay = true);

    // Play.
    bool IsPlaying() const { return playing_; }
    // Starts play, or pauses it; a pause with noCueReturn false and the cue engaged goes back to
    // the cue point. A start that the mixer refuses (the deck never became ready) leaves the
    // deck paused.
    void PlayPause(bool noCueReturn);
    void PlayBackward();
    void PlayResumeAfterBackward();
    // Seeks to a fraction of the track (clamped to it), resuming play if the deck played.
    void SeekTo(double fraction);
    // Winding and dragging: the position moves without the deck following until ApplyPosition.
    void BeginPositionChange();
    void SetPendingPosition(double fraction);
    void WindBy(double seconds);
    bool positionChanging() const { return draggingPosition_; }
    void ApplyPosition();
    // Tempo in percent; the playback rate follows at once.
    void SetTempo(double tempo);
    // Sets the cue point at the elapsed time; false (and nothing engaged) when nothing is loaded.
    bool EngageCue();
    void ReleaseCue();
    void SetAtCuePoint(bool at);

    // Called by the mixer while the deck streams.
    // The file's end was read and the play list names the next one: the reader goes on into it
    // without a gap (it opens the file itself). The time shown stays with the sounding track.
    void OpenFile(const std::string& path);
    void StartTrackEndBlink();
    void StopTrackEndBlink();
    bool trackEndBlinking() const { return trackEndBlinking_; }
    void MarkReady();
    void StopAtEnd();
    // The sounding file or CD track changed: its title and length.
    void ShowTrackChange(const ChunkSource& source);
    void SelectCdTrack(int track);
    // `bytesAhead`: audio written to the outputs ahead of the play position.
    void UpdateElapsed(uint32_t bytesAhead);
    void UpdatePositionFromElapsed();

    Source source() const { return source_; }
    const QString& title() const { return title_; }
    // The file's path, or the CD drive's name.
    const std::string& filePath() const { return filePath_; }
    double lengthSeconds() const { return lengthSeconds_; }
    int cdTrack() const { return cdTrack_; }
    int cdTrackCount() const { return cdTrackCount_; }
    // The rate of the deck's audio: the file's, or a CD's 44,100 Hz.
    uint32_t SourceRate() const;
    bool cueEngaged() const { return cueEngaged_; }
    bool atCuePoint() const { return atCuePoint_; }
    bool playingBackward() const { return playingBackward_; }
    bool stoppedAtEnd() const { return stoppedAtEnd_; }
    double elapsedSeconds() const { return elapsedSeconds_; }
    double cuePointSeconds() const { return cuePointSeconds_; }
    double position() const { return position_.Get(); }
    double tempo() const { return tempo_.Get(); }

    // The playback rate of a source rate at a tempo in percent.
    static uint32_t TempoRate(uint32_t sampleRate, double tempo);

  private:
    void Pause(bool noCueReturn);
    void StartPlay();
    void ResumeForward();
    // The deck does not play, though it was asked to: Rev goes off.
    void PlayLost();
    void StopReaderAndClose(bool updateDisplay);
    // Stops the CD reader. When the drive holds it up past kCdStopTimeout, the reader is left
    // behind with the disc, the deck is emptied and the display told: false then.
    bool StopCdReader(bool updateDisplay);
    void ShowEmpty();
    void ShowTime(double seconds);
    void ShowLength();
    void SyncPosition(double fraction);

    int deck_;
    DeckDisplay* display_ = nullptr;
    Source source_ = kSourceNone;
    QString title_;
    std::string filePath_;
    double lengthSeconds_ = 0.0;
    int cdTrack_ = 0;
    int cdTrackCount_ = 0;
    double elapsedSeconds_ = 0.0;
    BoundedValue position_{0.0, -1, 1};
    BoundedValue tempo_{0.0, -1, 1};
    bool cueEngaged_ = false;
    double cuePointSeconds_ = 0.0;
    bool atCuePoint_ = false;
    bool playing_ = false;
    bool playingBackward_ = false;
    bool stoppedAtEnd_ = false;
    bool trackEndBlinking_ = false;
    std::string handedPath_;  // the last file handed to the reader to go on with
    bool draggingPosition_ = false;
    bool pausing_ = false;
    bool startingBackward_ = false;
    bool startAfterPause_ = false;
    bool resumeAfterBackwardStart_ = false;
    // An open thread has the decoder or the CD: a load asked for meanwhile is refused.
    bool opening_ = false;
    // Counts loads and unloads, so that a load knows when an unload ran while it waited.
    uint32_t loads_ = 0;
    WorkerThread readerThread_;
};

}  // namespace tev
