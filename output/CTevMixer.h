#pragma once

#include <QDialog>
#include <functional>

#include "platform/MessageLayer.h"

class QCloseEvent;

namespace tev {

// The mixer panel: the visible centre of the program and the receiver of the engine's messages
// (hMixerWnd). Closing it asks before the program ends.
class CTevMixer : public QDialog, public MessageReceiver {
  public:
    explicit CTevMixer(QWidget* parent = nullptr);
    ~CTevMixer() override;

    // Dialog initialisation: becomes hMixerWnd and sets its caption.
    void OnInitDialog();

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override;

    // Replaces the exit question (the default asks the user). Used where nobody can answer.
    void SetExitConfirmation(std::function<bool()> confirm) { confirmExit_ = std::move(confirm); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void accept() override {}  // Enter does not close the panel

  private:
    std::function<bool()> confirmExit_;
};

}  // namespace tev
