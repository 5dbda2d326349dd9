#include "decks/CTevSliderCtrl.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

CTevSliderCtrl::CTevSliderCtrl(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent) {}

void CTevSliderCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        PostAppMessage(hDeckWnd[deck_], WM_POSITION_PRESSED, static_cast<WPARAM>(deck_), 0);
        JumpTo(event->position().toPoint());
    }
    // With the handle now under the pointer, the slider's own handling starts a drag.
    QSlider::mousePressEvent(event);
}

void CTevSliderCtrl::JumpTo(const QPoint& point) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (handle.contains(point)) {
        return;
    }
    // The handle's centre goes to the point: its travel is the groove less the handle's length.
    const bool horizontal = orientation() == Qt::Horizontal;
    const int length = horizontal ? handle.width() : handle.height();
    const int travel = (horizontal ? groove.width() : groove.height()) - length;
    const int offset = (horizontal ? point.x() - groove.x() : point.y() - groove.y()) - length / 2;
    setSliderPosition(
        QStyle::sliderValueFromPosition(minimum(), maximum(), offset, travel, option.upsideDown));
}

}  // namespace tev
