#include "decks/CTevCircularChartGraph.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>
#include <cmath>
#include <numbers>

#include "analysis/AnalysisThreads.h"
#include "analysis/CTevAnalyzerGraph.h"
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
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    Draw(image);
    QPainter(this).drawImage(0, 0, image);
}

void CTevCircularChartGraph::Draw(QImage& image) {
    image.fill(palette().color(QPalette::Button));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The disc fills the square at the top left, as wide as the shorter side.
    size_ = std::min(image.width(), image.height());
    const auto w = static_cast<float>(size_ - 1);
    const QPointF centre(w / 2.0F, w / 2.0F);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRectF(0.0, 0.0, w, w));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(w / 3.0F, w / 3.0F, w / 3.0F, w / 3.0F));
    painter.setPen(QPen(Qt::black, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(
        QRectF((w - w / 30.0F) / 2.0F, (w - w / 30.0F) / 2.0F, w / 30.0F, w / 30.0F));

    // Each sector sits on the base circle (radius w/3): its maximum grows out to the rim, its
    // minimum (negative) in to the label. Sector i shows ring entry i + chartIndex, so every new
    // entry turns the whole disc by one sector.
    const float scale = 32767.0F / (w / 6.0F);
    const float base = w / 3.0F;
    const uint32_t colour = deck_ == 0 ? colorDeckA : colorDeckB;
    QPointF onBase[kChartEntries];
    QPointF outer[kChartEntries];
    QPointF inner[kChartEntries];
    QColor sectorColour[kChartEntries];
    for (int i = 0; i < kChartEntries; ++i) {
        const int j = (i + chartIndex[deck_]) % kChartEntries;
        const double angle = 2.0 * std::numbers::pi * i / kChartEntries - std::numbers::pi;
        // Screen y runs down: negated, the angles run counter-clockwise.
        const QPointF direction(std::cos(angle), -std::sin(angle));
        onBase[i] = centre + direction * base;
        outer[i] = centre + direction * (base + chartMax[deck_][j] / scale);
        inner[i] = centre + direction * (base + chartMin[deck_][j] / scale);
        sectorColour[i] = CTevAnalyzerGraph::ChartColor(colour, chartMax[deck_][j]);
    }
    for (int i = 0; i < kChartEntries; ++i) {
        const int k = (i + 1) % kChartEntries;
        painter.setPen(QPen(sectorColour[i], 1.0));
        painter.setBrush(sectorColour[i]);
        const QPointF outerRing[4] = {onBase[i], outer[i], outer[k], onBase[k]};
        painter.drawPolygon(outerRing, 4);
        const QPointF innerRing[4] = {onBase[i], inner[i], inner[k], onBase[k]};
        painter.drawPolygon(innerRing, 4);
    }

    painter.setPen(QPen(QColor(128, 128, 128), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(w / 6.0F, w / 6.0F, 2.0F * w / 3.0F, 2.0F * w / 3.0F));
    // The pick-up marker, from the rim's bottom into the lower half.
    painter.setPen(QPen(QColor(192, 192, 192), 3.0));
    painter.drawLine(QPointF(w / 2.0F, w), QPointF(w / 2.0F, 2.0F * w / 3.0F));
}

}  // namespace tev
