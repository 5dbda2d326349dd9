#pragma once

#include <QBasicTimer>
#include <QSlider>

namespace tev {

// The main cross fader, -1000 (Deck A) .. 1000 (Deck B). With fader cueing on it watches the
// fader every 50 ms and starts a deck (WM_FADER_START) when the fader crosses the cue mark
// towards it.
class CTevCrossFaderCtrl : public QSlider {
  public:
    explicit CTevCrossFaderCtrl(QWidget* parent = nullptr);

    // The mark in fader units -1.0 .. 1.0.
    void SetCueMark(double mark) { cueMark_ = mark; }
    double cueMark() const { return cueMark_; }
    void EnableCueing(bool enable);
    bool cueingEnabled() const { return timer_.isActive(); }

    // One look at the fader: the timer's work while cueing is on.
    void CueTick();

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer timer_;
    double cueMark_ = 0.0;
    double lastPosition_ = 0.0;
};

}  // namespace tev
