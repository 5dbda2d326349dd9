#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>

#include "decks/DeckTransport.h"
#include "platform/MessageLayer.h"

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

namespace tev {

class CTevButtonCtrl;
class CTevCircularChartGraph;
class CTevNeedle;
class CTevSliderCtrl;
class CTevTrackNameIndicator;

// The panel of one deck: chooses what the deck plays, starts and pauses it, plays it backward
// while Rev is held or the disc is dragged back, winds, seeks, keeps a cue point, sets the tempo
// and shows the time, the length and the name of what plays. Its DeckTransport does the deck's
// work (the reader, the play state, the requests to the mixer); the panel turns its controls and
// timers into transport operations and shows what the transport reports. Display updates go
// through the main window (posted). [UI thread] everything.
class CTevDeck2 : public QDialog, public MessageReceiver, private DeckDisplay {
  public:
    enum Source {
        kSourceCd = DeckTransport::kSourceCd,
        kSourceFile = DeckTransport::kSourceFile,
        kSourceNone = DeckTransport::kSourceNone,
    };
    // Timers by their number; each tick runs OnTimer with it.
    enum Timer {
        kTimerDiscLength = 0,
        kTimerCueBlink = 1,
        kTimerFastForward = 2,
        kTimerTrackEndBlink = 3,
        kTimerRewind = 7,
        kTimerShowElapsed = 10,
        kTimerCount = 11,
    };
    static constexpr int kPositionRange = 65535;
    static constexpr int kTempoRange = 1000;
    // The tempo in percent at either end of the tempo slider.
    static constexpr double kMaxTempo = 8.0;

    explicit CTevDeck2(QWidget* parent = nullptr);
    ~CTevDeck2() override;

    void SetDeck(int deck);
    int deck() const { return deck_; }
    DeckTransport& transport() { return transport_; }

    // Transport.
    bool IsPlaying() const { return transport_.IsPlaying(); }
    // Starts play, or pauses it; a pause with noCueReturn false and the cue engaged goes back
    // to the cue point.
    void PlayPause(bool noCueReturn) { transport_.PlayPause(noCueReturn); }
    void PlayBackward() { transport_.PlayBackward(); }
    void PlayResumeAfterBackward() { transport_.PlayResumeAfterBackward(); }
    // Loads a sound file; false when the decoder does not recognise it (the deck is then empty).
    bool LoadFile(const std::string& path);
    // Loads the disc in a drive of the CD list, at its first track; false when no audio disc
    // could be read (the deck is then empty).
    bool LoadCdDrive(int drive);
    // Adds a CD image (a .cue file with its .bin) to the drives and loads it.
    bool LoadCdImage(const std::string& cuePath);
    static bool IsCdImage(const std::string& path);
    // Paths cross between Qt and the engine as the system's bytes: a name need not be UTF-8.
    static std::string PathBytes(const QString& path);
    static QString ShownPath(const std::string& path);
    // Plays a track of the loaded CD from its start (a CD entry of the play list).
    void LoadCdTrack(int track) { transport_.LoadCdTrack(track); }
    void SeekTo(double fraction) { transport_.SeekTo(fraction); }
    void ApplyPosition() { transport_.ApplyPosition(); }

    // Called by the mixer while the deck streams.
    // The reader goes on into the play list's next file; Next blinks until it sounds.
    void OpenFile(const std::string& path) { transport_.OpenFile(path); }
    void StartTrackEndBlink() { transport_.StartTrackEndBlink(); }
    bool trackEndBlinking() const { return transport_.trackEndBlinking(); }
    void MarkReady() { transport_.MarkReady(); }
    void StopAtEnd() { transport_.StopAtEnd(); }
    void ShowTrackChange(const ChunkSource& source);
    void SelectCdTrack(int track) { transport_.SelectCdTrack(track); }
    void UpdateElapsed(uint32_t bytesAhead) { transport_.UpdateElapsed(bytesAhead); }
    void UpdatePositionFromElapsed() { transport_.UpdatePositionFromElapsed(); }
    void StepRotation(int direction);
    void SetTempo(double tempo);
    // Keyboard control: the tempo moved by a step in percent, as far as the slider goes (the
    // slider follows and sets the tempo); the cue engaged or released as by its check box.
    void NudgeTempo(double step);
    void ToggleCue();

    const QString& GetTitle() const { return transport_.title(); }
    double GetLengthSeconds() const { return transport_.lengthSeconds(); }
    const std::string& GetFilePath() const { return transport_.filePath(); }
    int GetCdTrack() const { return transport_.cdTrack(); }
    // The rate of the deck's audio: the file's, or a CD's 44,100 Hz.
    uint32_t SourceRate() const { return transport_.SourceRate(); }
    const std::string& GetPendingEntry() const { return pendingEntry_; }
    int source() const { return transport_.source(); }

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(int id);
    bool IsTimerRunning(int id) const { return timers_[id].isActive(); }

    // State the main window shows in the controls.
    bool cueEngaged() const { return transport_.cueEngaged(); }
    bool atCuePoint() const { return transport_.atCuePoint(); }
    bool playingBackward() const { return transport_.playingBackward(); }
    bool stoppedAtEnd() const { return transport_.stoppedAtEnd(); }
    double elapsedSeconds() const { return transport_.elapsedSeconds(); }
    double cuePointSeconds() const { return transport_.cuePointSeconds(); }
    double position() const { return transport_.position(); }
    double tempo() const { return transport_.tempo(); }
    const QString& timeText() const { return timeText_; }
    const QString& lengthText() const { return lengthText_; }
    const QString& tempoText() const { return tempoText_; }
    // The name the now-playing indicator shows.
    QString NowPlayingText() const;

    // The controls, for the main window's updates.
    QComboBox* chooser() const { return chooser_; }
    CTevButtonCtrl* playButton() const { return play_; }
    CTevButtonCtrl* fastForwardButton() const { return ffwd_; }
    CTevButtonCtrl* rewindButton() const { return rwnd_; }
    CTevButtonCtrl* reverseButton() const { return rev_; }
    CTevButtonCtrl* nextButton() const { return next_; }
    CTevButtonCtrl* previousButton() const { return prev_; }
    QCheckBox* cueCheck() const { return cue_; }
    QSlider* tempoSlider() const { return tempoSlider_; }
    QToolButton* tempoUpButton() const { return tempoUp_; }
    QToolButton* tempoDownButton() const { return tempoDown_; }
    QPushButton* tempoResetButton() const { return tempoReset_; }
    QLabel* tempoLabel() const { return tempoLabel_; }
    CTevSliderCtrl* positionSlider() const { return positionSlider_; }
    QLabel* timeLabel() const { return timeLabel_; }
    QLabel* lengthLabel() const { return lengthLabel_; }
    CTevTrackNameIndicator* nowPlaying() const { return nowPlaying_; }
    CTevCircularChartGraph* chart() const { return chart_; }

    // hh:mm:ss of whole seconds, truncated; hours keep all their digits.
    static QString FormatTime(double seconds);
    // The tempo as the label shows it: one decimal and a percent sign, within +-50.
    static QString TempoText(double tempo);
    // The playback rate of a source rate at a tempo in percent.
    static uint32_t TempoRate(uint32_t sampleRate, double tempo) {
        return DeckTransport::TempoRate(sampleRate, tempo);
    }

    // What "Browse..." asks the user: the chosen files, none when cancelled. A file dialog by
    // default.
    void SetFileChooser(std::function<QStringList()> chooser) { chooseFiles_ = std::move(chooser); }
    // How a problem is told to the user: a message box by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { tellUser_ = std::move(sink); }

  protected:
    void accept() override {}  // Enter does nothing
    void reject() override {}  // neither does Escape: the deck closes with the program
    void closeEvent(QCloseEvent* event) override;

  private:
    void FillChooser();
    void OnChooserSelection();
    void Browse();
    // Tells the user why no disc could be read from a drive or an image.
    void TellCdProblem(const QString& drive);
    // Names a loaded file in the chooser.
    void ShowLoadedFile(const std::string& path);
    // Adds a chooser entry showing the file's name, its path as the entry's tool tip.
    void AddFileEntry(const QString& path, uint32_t data);
    void StartTimer(int id, int milliseconds);
    void StopTimer(int id);
    void OnCueClicked(bool checked);
    void OnPositionSliderMoved(int value);
    void OnPositionSliderReleased();
    void OnTempoSliderMoved(int value);
    void OnTempoUpDown(int delta);
    void OnTempoReset();
    void StartWinding(int timer);
    void StopWinding(int timer);
    void ShowTime(double seconds) override;
    void ShowLength() override;
    void ReportCdProblem(const std::string& driveName) override;
    void ShowTrackEndBlink(bool on) override;

    // Controls.
    QComboBox* chooser_ = nullptr;
    CTevButtonCtrl* play_ = nullptr;
    CTevButtonCtrl* ffwd_ = nullptr;
    CTevButtonCtrl* rwnd_ = nullptr;
    CTevButtonCtrl* rev_ = nullptr;
    CTevButtonCtrl* next_ = nullptr;
    CTevButtonCtrl* prev_ = nullptr;
    QCheckBox* cue_ = nullptr;
    QSlider* tempoSlider_ = nullptr;
    QToolButton* tempoUp_ = nullptr;
    QToolButton* tempoDown_ = nullptr;
    QPushButton* tempoReset_ = nullptr;
    QLabel* tempoLabel_ = nullptr;
    CTevSliderCtrl* positionSlider_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* lengthLabel_ = nullptr;
    CTevTrackNameIndicator* nowPlaying_ = nullptr;
    CTevCircularChartGraph* chart_ = nullptr;
    CTevNeedle* needle_ = nullptr;
    QTimer timers_[kTimerCount];

    // State.
    DeckTransport transport_;
    int rotationIndex_ = 0;
    QString comboText_;
    int blinkCount_ = 0;
    int deck_ = 0;
    bool initialised_ = false;
    QString tempoText_ = QStringLiteral("0.0 %");
    QString timeText_ = QStringLiteral("00:00:00");
    QString lengthText_ = QStringLiteral("00:00:00");
    std::string pendingEntry_;

    std::function<QStringList()> chooseFiles_;
    std::function<void(const QString&)> tellUser_;
};

}  // namespace tev
