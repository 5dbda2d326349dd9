#include "output/CTevCrossFaderCtrl.h"

#include <QTimerEvent>

#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

namespace {

constexpr int kCueSampleMs = 50;

}  // namespace

CTevCrossFaderCtrl::CTevCrossFaderCtrl(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void CTevCrossFaderCtrl::EnableCueing(bool enable) {
    if (enable) {
        timer_.start(kCueSampleMs, this);
    } else {
        timer_.stop();
    }
}

void CTevCrossFaderCtrl::CueTick() {
    const double position = value() / 1000.0;
    if (cueMark_ <= position && cueMark_ > lastPosition_) {
        PostAppMessage(hDeckWnd[1], WM_FADER_START, 1, 0);
    } else if (cueMark_ >= position && cueMark_ < lastPosition_) {
        PostAppMessage(hDeckWnd[0], WM_FADER_START, 0, 0);
    }
    lastPosition_ = position;
}

void CTevCrossFaderCtrl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        CueTick();
    } else {
        QSlider::timerEvent(event);
    }
}

}  // namespace tev
