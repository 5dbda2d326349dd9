#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decks/PanelLayout.h"
#include "platform/CpuUsageMeter.h"
#include "platform/MessageLayer.h"
#include "platform/WorkerThread.h"

class QEventLoop;
class QLabel;
class QProgressBar;

namespace tev {

class CTevMixer;

// The top-level window of the program. It is never shown: it creates the mixer panel, which
// creates every other panel, starts the long-lived threads, serves as the post office of the
// control-update messages (hMainWnd) and runs the orderly shutdown. The process lives as long
// as its modal loop.
class CTevAudioDlg : public QDialog, public MessageReceiver {
  public:
    explicit CTevAudioDlg(QWidget* parent = nullptr);
    ~CTevAudioDlg() override;

    // Initialises, then runs until the dialog ends; returns the end result.
    int DoModal();
    // Creates the panels, starts the long-lived threads, loads the command line's files and
    // lays the panels out; false when the program cannot run.
    bool OnInitDialog();
    // The files named on the command line, as bytes; each is loaded into Deck A in turn.
    void SetCommandLineFiles(std::vector<std::string> files) {
        commandLineFiles_ = std::move(files);
    }
    // How problems are told to the user: a message box by default.
    void SetMessageSink(std::function<void(const QString&)> sink) { tellUser_ = std::move(sink); }
    // Whether OnInitDialog starts the thread that polls the keyboard every 15 ms (it does by
    // default); off where the polls are made one by one (PollKeyboard).
    void SetKeyboardPolled(bool polled) { keyboardPolled_ = polled; }
    // Places every panel on the primary screen's work area: the mixer centred at the top between
    // the decks, effects and equalizers below the decks, the play list and the analyzer at the
    // bottom, meeting at the centre; on a screen too small for that, as panel_layout::Place
    // finds room. Panels never cover each other: one without room is minimised and the user
    // told which, and what screen would hold them all.
    void LayOutPanels();
    // The same on any part of the desktop.
    void LayOutPanels(const QRect& area);
    // The panels the layout places, in the order of panel_layout::Panel.
    std::array<QWidget*, panel_layout::kPanelCount> Panels() const;
    void EndDialog(int result);

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    CTevMixer* mixer() const { return mixer_.get(); }

    // Every 500 ms: takes a processor-load sample and the sound devices' dropouts so far, and
    // asks for them to be shown (WM_SHOW_CPU_USAGE).
    void SampleCpuUsage();
    const QString& cpuUsageText() const { return cpuUsageText_; }
    QLabel* dropoutsLabel() const { return dropoutsLabel_; }
    QProgressBar* cpuUsageBar() const { return cpuUsageBar_; }
    QLabel* cpuUsageLabel() const { return cpuUsageLabel_; }

  private:
    void OnClose();
    // On standard error, and to the message sink or in a message box that does not wait.
    void TellUser(const QString& text);

    std::unique_ptr<CTevMixer> mixer_;
    QEventLoop* loop_ = nullptr;
    int result_ = 0;
    bool ended_ = false;
    WorkerThread trackLengthThread_;
    WorkerThread keyboardThread_;
    bool keyboardPolled_ = true;
    CpuUsageMeter cpuMeter_;
    double cpuUsage_ = 0.0;
    QString cpuUsageText_;
    QProgressBar* cpuUsageBar_ = nullptr;
    QLabel* cpuUsageLabel_ = nullptr;
    uint64_t dropouts_ = 0;
    QString dropoutsText_;
    QPointer<QDialog> tipOfTheDay_;
    QLabel* dropoutsLabel_ = nullptr;
    std::vector<std::string> commandLineFiles_;
    std::function<void(const QString&)> tellUser_;
};

}  // namespace tev
