#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>

#include "output/BoundedValue.h"
#include "platform/MessageLayer.h"
#include "platform/WorkerThread.h"

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
// and shows the time, the length and the name of what plays. It streams nothing itself: it runs
// the deck's reader and asks the mixer (synchronously) to start and stop play; display updates
// go through the main window (posted). [UI thread] everything.
class CTevDeck2 : public QDialog, public MessageReceiver {
  public:
    enum Source { kSourceCd = 0, kSourceFile = 1, kSourceNone = 2 };
    // Timers by their number; each tick runs OnTimer with it.
    enum Timer {
        kTimerDiscLength = 0,
        kTimerCueBlink = 1,
        kTimerFastForward = 2,
        kTimerStartPlay = 5,
        kTimerResumeForward = 6,
        kTimerRewind = 7,
        kTimerShowElapsed = 10,
        kTimerCount = 11,
    };
    static constexpr int kPositionRange = 65535;
    static constexpr int kTempoRange = 1000;

    explicit CTevDeck2(QWidget* parent = nullptr);
    ~CTevDeck2() override;

    void SetDeck(int deck);
    int deck() const { return deck_; }

    // Transport.
    bool IsPlaying() const { return playing_; }
    // Starts play, or pauses it; a pause with noCueReturn false and the cue engaged goes back
    // to the cue point.
    void PlayPause(bool noCueReturn);
    void PlayBackward();
    void PlayResumeAfterBackward();
    // Loads a sound file; false when the decoder does not recognise it (the deck is then empty).
    bool LoadFile(const std::string& path);
    // Loads the disc in a drive of the CD list, at its first track; false when no audio disc
    // could be read (the deck is then empty).
    bool LoadCdDrive(int drive);
    // Adds a CD image (a .cue file with its .bin) to the drives and loads it.
    bool LoadCdImage(const std::string& cuePath);
    static bool IsCdImage(const std::string& path);
    // Plays a track of the loaded CD from its start (a CD entry of the play list).
    void LoadCdTrack(int track);
    void SeekTo(double fraction);
    void ApplyPosition();

    // Called by the mixer while the deck streams.
    void MarkReady();
    void StopAtEnd();
    void ShowTrackChange(const std::string& path);
    void SelectCdTrack(int track);
    void UpdateElapsed(uint32_t bytesAhead);
    void UpdatePositionFromElapsed();
    void StepRotation(int direction);
    void SetTempo(double tempo);

    const QString& GetTitle() const { return title_; }
    double GetLengthSeconds() const { return lengthSeconds_; }
    const std::string& GetFilePath() const { return filePath_; }
    int GetCdTrack() const { return cdTrack_; }
    // The rate of the deck's audio: the file's, or a CD's 44,100 Hz.
    uint32_t SourceRate() const;
    const std::string& GetPendingEntry() const { return pendingEntry_; }
    int source() const { return source_; }

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;
    void OnTimer(int id);
    bool IsTimerRunning(int id) const { return timers_[id].isActive(); }

    // State the main window shows in the controls.
    bool cueEngaged() const { return cueEngaged_; }
    bool atCuePoint() const { return atCuePoint_; }
    bool playingBackward() const { return playingBackward_; }
    bool stoppedAtEnd() const { return stoppedAtEnd_; }
    double elapsedSeconds() const { return elapsedSeconds_; }
    double cuePointSeconds() const { return cuePointSeconds_; }
    double position() const { return position_.Get(); }
    double tempo() const { return tempo_.Get(); }
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
    static uint32_t TempoRate(uint32_t sampleRate, double tempo);

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
    void Unload(bool updateDisplay = true);
    // Shows a deck with nothing loaded.
    void ShowEmpty();
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
    void ShowTime(double seconds);

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
    int source_ = kSourceNone;
    bool cueEngaged_ = false;
    double elapsedSeconds_ = 0.0;
    int rotationIndex_ = 0;
    BoundedValue tempo_{0.0, -1, 1};
    BoundedValue position_{0.0, -1, 1};
    QString comboText_;
    int cdTrackCount_ = 0;
    int cdTrack_ = 0;
    int blinkCount_ = 0;
    double cuePointSeconds_ = 0.0;
    bool atCuePoint_ = false;
    int deck_ = 0;
    bool initialised_ = false;
    bool playing_ = false;
    bool playingBackward_ = false;
    bool stoppedAtEnd_ = false;
    QString tempoText_ = QStringLiteral("0.0 %");
    QString timeText_ = QStringLiteral("00:00:00");
    QString title_;
    double lengthSeconds_ = 0.0;
    QString lengthText_ = QStringLiteral("00:00:00");
    std::string filePath_;
    std::string pendingEntry_;
    bool draggingPosition_ = false;
    WorkerThread readerThread_;
    bool startingBackward_ = false;
    bool pausing_ = false;
    bool refilling_ = false;

    std::function<QStringList()> chooseFiles_;
    std::function<void(const QString&)> tellUser_;
};

}  // namespace tev
