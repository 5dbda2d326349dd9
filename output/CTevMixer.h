#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "output/MixerEngine.h"
#include "output/SoundOutput.h"
#include "platform/MessageLayer.h"

class QCloseEvent;
class QLabel;

namespace tev {

class CTevSoundDevices;

// The mixer panel: the visible centre of the program and the receiver of the engine's messages
// (hMixerWnd). It owns the two outputs, monitor and main, and the options dialog that chooses
// their devices. Closing it asks before the program ends.
class CTevMixer : public QDialog, public MessageReceiver {
  public:
    explicit CTevMixer(QWidget* parent = nullptr);
    ~CTevMixer() override;

    // Dialog initialisation: becomes hMixerWnd and sets its caption.
    void OnInitDialog();

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // Opens the devices of the last confirmed choice in the two outputs.
    void SetUpOutputs(bool reportFailures);
    // The options dialog, shown; the outputs follow the choice on OK.
    void ShowOptions();

    MixerEngine& engine() { return *engine_; }
    SoundOutput& mainOutput() { return main_; }
    SoundOutput& monitorOutput() { return monitor_; }

    // Replaces the exit question (the default asks the user). Used where nobody can answer.
    void SetExitConfirmation(std::function<bool()> confirm) { confirmExit_ = std::move(confirm); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}  // Enter does not close the panel

  private:
    void ShowOutputs();
    void CheckDevices();

    SoundOutput monitor_;
    SoundOutput main_;
    DeckReports decks_;
    std::unique_ptr<MixerEngine> engine_;
    std::unique_ptr<CTevSoundDevices> devices_;
    QLabel* outputsText_ = nullptr;
    bool lostReported_ = false;
    std::function<bool()> confirmExit_;
};

}  // namespace tev
