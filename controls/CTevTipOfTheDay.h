#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;

namespace tev {

// "Tip Of The Day": one tip at a time from a fixed list, "Next Tip" to go on, and the choice
// whether to see it at start-up. The index of the tip to show is a setting, so that every start
// shows the tip after the one last closed with OK.
class CTevTipOfTheDay : public QDialog {
  public:
    static constexpr int kTipCount = 9;

    explicit CTevTipOfTheDay(QWidget* parent = nullptr);

    static QString Tip(int index);
    // At start-up the tip is shown when the setting says so, a person can see it (not on the
    // offscreen or minimal platform) and TEV_NO_TIPS is not set (scripts, tests, virtual displays).
    static bool ShouldShowAtStart();

    int index() const { return index_; }
    QLabel* tipText() const { return tipText_; }
    QPushButton* nextTipButton() const { return nextTip_; }
    QPushButton* okButton() const { return ok_; }
    QCheckBox* showAtStartup() const { return showAtStartup_; }

    void OnNextTip();
    void OnOK();
    void OnShowAtStartup(bool checked);

  private:
    int index_ = 0;
    QLabel* tipText_ = nullptr;
    QPushButton* nextTip_ = nullptr;
    QPushButton* ok_ = nullptr;
    QCheckBox* showAtStartup_ = nullptr;
};

}  // namespace tev
