#pragma once

#include <QDialog>

namespace tev {

// Asks the user where the play list should load: Deck A, Deck B or Switch.
class CTevDeckSelector : public QDialog {
  public:
    enum Choice { kDeckA = 0, kDeckB = 1, kSwitch = 2 };

    explicit CTevDeckSelector(QWidget* parent = nullptr);

    // The last radio button clicked, whichever button closed the dialog.
    int GetChoice() const { return choice_; }

  private:
    int choice_ = kDeckA;
};

}  // namespace tev
