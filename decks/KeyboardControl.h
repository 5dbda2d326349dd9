#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <vector>

class QKeyEvent;
class QWindow;

namespace tev {

class KeyboardDevice;

// Feeds the application's keys to keyboard control. Every key press and release of the program
// passes through here on its way to a window: the keys typed in one of the panels given (the
// decks, effects, equalizers, analyzer and mixer) mark the key table the poll thread reads, and
// each press and release is posted to the mixer (WM_KEYDOWN, WM_KEYUP) for the transport.
// Nothing acts while keyboard control is off (the play list is active), while a text field has
// the focus, or with Alt or Meta held; the letters and digits keyboard control uses do not also
// reach the focused control (a deck's chooser would otherwise pick "Nothing Loaded" on "N").
// When the focus leaves the panels, for the play list, a dialog or another program, every key
// is let go, so nothing stays held. [UI thread] everything.
class KeyboardControl : public QObject {
  public:
    explicit KeyboardControl(KeyboardDevice& keyboard, QObject* parent = nullptr);
    ~KeyboardControl() override;

    void AddPanel(QWidget* panel);

    // The scan code (set 1, 0x80 added for the extended keys) of the key the event stands for;
    // 0 for a key keyboard control does not know. Letters and symbols are taken as labelled;
    // the digit row by position where the platform tells it, so that a shifted layout works.
    static uint8_t ScanCodeOf(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool IsPanel(const QWindow* window) const;
    // Lets go of every key: the table, and the deck buttons keys may hold down.
    void ReleaseAll();

    KeyboardDevice& keyboard_;
    std::vector<QPointer<QWidget>> panels_;
};

}  // namespace tev
