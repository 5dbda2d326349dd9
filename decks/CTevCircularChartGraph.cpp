#include "decks/CTevCircularChartGraph.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <cmath>
#include <numbers>

#include "controls/CTevColorSquare.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

namespace {

constexpr int kSampleMs = 30;
constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;

}  // namespace

CTevCircularChartGraph::CTevCircularChartGraph(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTevCircularChartGraph::SetDeck(int deck) {
    deck_ = deck;
    update();
}

void CTevCircularChartGraph::SetRotation(int index) {
    rotation_ = index;
    update();
}

float CTevCircularChartGraph::AngleAt(const QPoint& point) const {
    const int centre = size_ / 2;
    const float dx = static_cast<float>(point.x() - centre);
    const float dy = static_cast<float>(point.y() - centre);
    if (dx == 0.0f) {
        // Straight above or below the centre; the centre itself has no direction.
        return dy == 0.0f ? 0.0f : std::copysign(kQuarterTurn, dy);
    }
    return std::atan(dy / dx);
}

void CTevCircularChartGraph::Tick() {
    const float angle = AngleAt(lastMouse_);
    float delta = angle - lastAngle_;
    lastAngle_ = angle;
    if (delta < -kQuarterTurn || delta > kQuarterTurn) {
        // The pointer crossed the vertical through the centre, where the folded angle jumps
        // by half a turn the other way.
        delta = -delta;
    }
    if (delta < 0.0f && !backward_) {
        backward_ = true;
        forward_ = false;
        PostAppMessage(hDeckWnd[deck_], WM_CHART_TURNED_BACKWARD, static_cast<WPARAM>(deck_), 0);
    } else if (delta > 0.0f && !forward_) {
        forward_ = true;
        backward_ = false;
        PostAppMessage(hDeckWnd[deck_], WM_CHART_TURNED_FORWARD, static_cast<WPARAM>(deck_), 0);
    }
}

void CTevCircularChartGraph::resizeEvent(QResizeEvent* event) {
    size_ = SideLength();
    QWidget::resizeEvent(event);
}

void CTevCircularChartGraph::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    lastMouse_ = event->position().toPoint();
    lastAngle_ = AngleAt(lastMouse_);
    timer_.start(kSampleMs, this);
}

void CTevCircularChartGraph::mouseMoveEvent(QMouseEvent* event) {
    lastMouse_ = event->position().toPoint();
}

void CTevCircularChartGraph::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    timer_.stop();
    backward_ = false;
    forward_ = false;
    PostAppMessage(hDeckWnd[deck_], WM_CHART_RELEASED, static_cast<WPARAM>(deck_), 0);
}

void CTevCircularChartGraph::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        Tick();
    } else {
        QWidget::timerEvent(event);
    }
}

void CTevCircularChartGraph::paintEvent(QPaintEvent*) {
    size_ = SideLength();
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter offscreen(&image);
    offscreen.setRenderHint(QPainter::Antialiasing);
    offscreen.fillRect(image.rect(), palette().color(QPalette::Window));

    const double radius = size_ / 2.0;
    const QPointF centre(radius, radius);
    offscreen.setPen(Qt::NoPen);
    offscreen.setBrush(QColor(24, 24, 24));
    offscreen.drawEllipse(centre, radius, radius);

    // Faint grooves between the rim and the label.
    offscreen.setBrush(Qt::NoBrush);
    offscreen.setPen(QPen(QColor(60, 60, 60), 1.0));
    for (const double share : {0.9, 0.78, 0.66, 0.54}) {
        offscreen.drawEllipse(centre, radius * share, radius * share);
    }

    const double labelRadius = radius * 0.36;
    offscreen.setPen(Qt::NoPen);
    offscreen.setBrush(CTevColorSquare::ToQColor(deck_ == 0 ? colorDeckA : colorDeckB));
    offscreen.drawEllipse(centre, labelRadius, labelRadius);

    // The marker turns clockwise with the index, from twelve o'clock, across the label and the
    // grooves so that the turning shows at any size.
    const double turn = rotation_ * (2.0 * std::numbers::pi / kRotationSteps);
    const QPointF direction(std::sin(turn), -std::cos(turn));
    offscreen.setPen(QPen(QColor(230, 230, 230), std::max(1.0, radius / 40.0)));
    offscreen.drawLine(centre + direction * (radius * 0.12), centre + direction * (radius * 0.9));
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
