#include "output/CTevCrossFadeCurveGraph.h"

#include <QImage>
#include <QPainter>

#include "controls/CTevColorSquare.h"
#include "core/EngineState.h"

namespace tev {

CTevCrossFadeCurveGraph::CTevCrossFadeCurveGraph(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTevCrossFadeCurveGraph::SetPoint(int deck, int i, double value) {
    if (deck < 0 || deck >= 2 || i < 0 || i >= kPoints) {
        return;
    }
    points_[deck][i] = value;
}

void CTevCrossFadeCurveGraph::paintEvent(QPaintEvent*) {
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter offscreen(&image);
    offscreen.setRenderHint(QPainter::Antialiasing);
    offscreen.fillRect(image.rect(), Qt::black);
    const double step = width() / static_cast<double>(kPoints);
    const double h = height();
    for (int deck = 0; deck < 2; ++deck) {
        offscreen.setPen(QPen(CTevColorSquare::ToQColor(deck == 0 ? colorDeckA : colorDeckB), 2));
        const double* values = points_[deck];
        for (int i = 0; i + 1 < kPoints; ++i) {
            offscreen.drawLine(QPointF(i * step, h - h * values[i]),
                               QPointF((i + 1) * step, h - h * values[i + 1]));
        }
    }
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
