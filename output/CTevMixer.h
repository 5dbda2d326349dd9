#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <deque>
#include <functional>
#include <memory>

#include "output/BoundedValue.h"
#include "output/MixerEngine.h"
#include "output/Recorder.h"
#include "output/SoundOutput.h"
#include "platform/MessageLayer.h"

class QCheckBox;
class QCloseEvent;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

namespace tev {

class CTevAnalyzer;
class CTevButtonCtrl;
class CTevCrossFadeCurveGraph;
class CTevCrossFaderCtrl;
class CTevDeck2;
class CTevEffects;
class CTevEqualizer2;
class CTevPlayList2;
class CTevSoundDevices;
class KeyboardControl;

// The mixer panel: the visible centre of the program and the receiver of the engine's messages
// (hMixerWnd). It owns the two outputs, monitor and main, the mixing values and their sliders,
// the options dialog, and every other panel. Closing it asks before the program ends.
class CTevMixer : public QDialog, public MessageReceiver, public DeckCallbacks {
  public:
    static constexpr int kLevelRange = 65535;
    static constexpr int kFaderRange = 1000;
    static constexpr int kBalanceRange = 100;

    explicit CTevMixer(QWidget* parent = nullptr);
    ~CTevMixer() override;

    // Dialog initialisation: becomes hMixerWnd, sets the controls from the settings.
    void OnInitDialog();

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // Opens the devices of the last confirmed choice in the two outputs.
    void SetUpOutputs(bool reportFailures);
    // After the outputs changed: the monitor level only where the monitor has a card of its
    // own, the monitor cross fader and balances only where it has speakers of its own.
    void EnableMonitorControls();
    // The options dialog, shown; the outputs follow the choice on OK.
    void ShowOptions();

    // Control updates the main window carries out: each slider is set from its value and the
    // value applied again from the slider.
    void ShowDeckLevel(int deck);
    void ShowMainLevel();
    void ShowMonitorLevel();
    void ShowMainCrossFader();
    void ShowMonitorCrossFader();
    void ShowCurveParameter();
    void RedrawCurveGraph();
    void ShowLevelMeter(int deck);

    // The status line: the processor's load and the sound devices' dropouts so far. It turns to
    // a warning while the load is high or when dropouts have been added since the last showing.
    void ShowStatus(double cpuPercent, uint64_t dropouts);
    QLabel* statusLine() const { return statusLine_; }
    bool statusWarns() const { return statusWarns_; }
    // Recording the mix: the record button starts a file in the folder and format of Options,
    // or finishes the one being written. Twice a second the Options title shows its time and
    // size, and a stop on a write error, a new file or a gap is told once.
    void ToggleRecording();
    void ShowRecording();
    CTevButtonCtrl* recordButton() const { return recordButton_; }
    QGroupBox* optionsBox() const { return optionsBox_; }
    CTevSoundDevices* optionsDialog() const { return devices_.get(); }

    // "About TevAudio", from the panel's context menu, its "?" button or F1 anywhere in the
    // program; modal, but without a loop of its own.
    void ShowAboutBox();
    QToolButton* aboutButton() const { return aboutButton_; }
    QDialog* aboutBox() const { return aboutBox_; }

    // Keyboard control. A key the poll finds down nudges a mixing value, a deck's tempo or an
    // equalizer band (Shift: a large step, Ctrl: the monitor side or Deck B's bands); keys pressed
    // and let go drive the decks' transport.
    void OnKeyPressed(char key);
    void KeyDown(int key);
    void KeyUp(int key);

    // The other panels.
    CTevDeck2* deck(int d) const { return decks_[d].get(); }
    CTevEffects* effectsPanel(int d) const { return effects_[d].get(); }
    CTevEqualizer2* equalizerPanel(int d) const { return equalizers_[d].get(); }
    QDialog* playListPanel() const;
    CTevPlayList2* playList() const { return playList_.get(); }
    CTevAnalyzer* analyzerPanel() const { return analyzer_.get(); }
    // Ends the panels, in the order the program shuts down.
    void DestroyPanels();
    // Places the panels around the mixer after it moved.
    void DragPanels();

    MixerEngine& engine() { return *engine_; }
    SoundOutput& mainOutput() { return main_; }
    SoundOutput& monitorOutput() { return monitor_; }
    // Records the main output; it follows the main output to each new device.
    Recorder& recorder() { return recorder_; }
    BoundedValue& mainLevel() { return mainLevel_; }

    // The controls.
    QSlider* deckLevelSlider(int d) const { return deckLevel_[d]; }
    QSlider* mainLevelSlider() const { return mainLevelSlider_; }
    QSlider* monitorLevelSlider() const { return monitorLevelSlider_; }
    QProgressBar* levelMeter(int d) const { return meters_[d]; }
    CTevCrossFaderCtrl* mainCrossFader() const { return mainCrossFader_; }
    QSlider* monitorCrossFader() const { return monitorCrossFader_; }
    QSlider* curveSlider() const { return curveSlider_; }
    CTevCrossFadeCurveGraph* curveGraph() const { return curveGraph_; }
    QSlider* cueMarkSlider() const { return cueMark_; }
    QCheckBox* faderCueing() const { return faderCueing_; }
    QSlider* mainBalance() const { return mainBalance_; }
    QSlider* monitorBalance(int d) const { return monitorBalance_[d]; }
    QPushButton* monitorBalanceReset() const { return monitorBalanceReset_; }
    QPushButton* leftRightButton() const { return leftRight_; }

    // Replaces the exit question (the default asks the user). Used where nobody can answer.
    void SetExitConfirmation(std::function<bool()> confirm) { confirmExit_ = std::move(confirm); }
    // How the mixer, the decks and the play list tell the user of a problem: message boxes by
    // default.
    void SetMessageSink(const std::function<void(const QString&)>& sink);

    // What the streaming tells the deck panels.
    bool IsCd(int deck) const override;
    int CurrentCdTrack(int deck) const override;
    const std::string& CurrentFile(int deck) const override;
    uint32_t SampleRate(int deck) const override;
    void MarkReady(int deck) override;
    void StopAtEnd(int deck) override;
    void ShowTrackChange(int deck, const ChunkSource& source) override;
    void SelectCdTrack(int deck, int track) override;
    void StepRotation(int deck, int direction) override;
    void UpdateElapsed(int deck, uint32_t bytesAhead) override;
    void UpdatePositionFromElapsed(int deck) override;
    void ShowLevel(int deck) override;
    std::string EffectName(int deck) const override;
    void ShowAnalysis(int deck) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void accept() override {}  // Enter does not close the panel
    void reject() override {}  // nor Escape: leaving the program is asked on close only

  private:
    void BuildControls();
    void ShowOutputs();
    void CheckDevices();
    void ShowOtherPanels(bool show);
    void OnDeckLevelSlider(int deck);
    void OnMainLevelSlider();
    void OnMonitorLevelSlider();
    void OnMainCrossFaderSlider();
    void OnMonitorCrossFaderSlider();
    void OnCurveSlider();
    // The deck levels and the curve are stored when a slider is let go, or once moves (from the
    // keyboard, say) have been quiet for a moment: never at every step of a drag.
    void ScheduleSave();
    void SaveMixSettings();
    // The play list's side of the engine's and the decks' messages.
    LRESULT OnPlayListMessage(uint32_t msg, int deck, LPARAM lParam);
    void OnTrackEnded(int deck, LPARAM why);
    // Lines up the deck's next track that may play, passing over those known not to; empty when
    // there is none.
    std::string LineUpPlayable(int deck);
    void LoadCuedTrack(int deck, bool play);
    void AddLoadedTrack(int deck, bool cd);
    void AddCdTrack(int deck, const std::string& drive, int track, bool cue);
    // The deck button a key holds down while it is pressed; none for other keys.
    CTevButtonCtrl* KeyButton(int key) const;

    SoundOutput monitor_;
    SoundOutput main_;
    // After the outputs: it lets go of the main output's device before the device goes.
    Recorder recorder_;
    // Before the engine, which streams into its analysis until the engine ends.
    std::unique_ptr<CTevAnalyzer> analyzer_;
    std::unique_ptr<MixerEngine> engine_;
    std::unique_ptr<CTevSoundDevices> devices_;
    BoundedValue mainLevel_{0.0, 0, 1};
    BoundedValue monitorLevel_{0.0, 0, 1};

    std::unique_ptr<CTevPlayList2> playList_;
    std::array<std::unique_ptr<CTevDeck2>, kDeckCount> decks_;
    std::array<std::unique_ptr<CTevEffects>, kDeckCount> effects_;
    std::array<std::unique_ptr<CTevEqualizer2>, kDeckCount> equalizers_;
    std::unique_ptr<KeyboardControl> keys_;

    std::array<QSlider*, kDeckCount> deckLevel_{};
    QSlider* mainLevelSlider_ = nullptr;
    QSlider* monitorLevelSlider_ = nullptr;
    std::array<QProgressBar*, kDeckCount> meters_{};
    CTevCrossFaderCtrl* mainCrossFader_ = nullptr;
    QSlider* monitorCrossFader_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QToolButton* aboutButton_ = nullptr;
    CTevButtonCtrl* recordButton_ = nullptr;
    QGroupBox* optionsBox_ = nullptr;
    int toldGaps_ = 0;
    std::string toldError_;
    std::string toldNote_;
    QPointer<QDialog> aboutBox_;
    uint64_t shownDropouts_ = 0;
    bool statusWarns_ = false;
    QSlider* curveSlider_ = nullptr;
    CTevCrossFadeCurveGraph* curveGraph_ = nullptr;
    QSlider* cueMark_ = nullptr;
    QCheckBox* faderCueing_ = nullptr;
    QSlider* mainBalance_ = nullptr;
    std::array<QSlider*, kDeckCount> monitorBalance_{};
    QPushButton* mainBalanceReset_ = nullptr;
    QPushButton* monitorBalanceReset_ = nullptr;
    QPushButton* leftRight_ = nullptr;
    QLabel* outputsText_ = nullptr;

    bool lostReported_ = false;
    bool ordinaryThreadReported_ = false;
    QTimer* saveTimer_ = nullptr;
    float savedLevel_[kDeckCount] = {0.0F, 0.0F};
    float savedCurve_ = 0.0F;
    bool initialised_ = false;
    std::function<bool()> confirmExit_;
    std::function<void(const QString&)> tellUser_;
    // The files each deck's reader was handed to go on with and that have not sounded yet: more
    // than one when files shorter than the ring are read ahead of each other.
    std::deque<std::string> handed_[kDeckCount];
    // The next file plays at another rate: it is loaded afresh when this one has played out.
    bool loadAtEnd_[kDeckCount] = {false, false};
    // The cued track is loaded and played when the deck's stop at the end has been carried out.
    bool loadAfterStop_[kDeckCount] = {false, false};
};

}  // namespace tev
