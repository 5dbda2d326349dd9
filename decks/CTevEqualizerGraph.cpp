#include "decks/CTevEqualizerGraph.h"

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <algorithm>
#include <array>
#include <cassert>

namespace tev {
namespace {

constexpr double kBottomDb = -20.0;
constexpr double kTopDb = 20.0;

}  // namespace

CTevEqualizerGraph::CTevEqualizerGraph(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
}

float* CTevEqualizerGraph::response(int band) {
    assert(band >= 0 && band < kMaxBands);
    return responses_[std::clamp(band, 0, kMaxBands - 1)];
}

const float* CTevEqualizerGraph::response(int band) const {
    assert(band >= 0 && band < kMaxBands);
    return responses_[std::clamp(band, 0, kMaxBands - 1)];
}

void CTevEqualizerGraph::SetBandCount(int count) {
    bandCount_ = std::clamp(count, 0, kMaxBands);
}

void CTevEqualizerGraph::paintEvent(QPaintEvent*) {
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter offscreen(&image);
    offscreen.setRenderHint(QPainter::Antialiasing);
    const double xStep = width() / static_cast<double>(kPoints);
    const double yScale = height() / (kTopDb - kBottomDb);
    const double bottom = height();
    std::array<QPointF, kPoints> curve;
    for (int band = 0; band < bandCount_; ++band) {
        const float* r = responses_[band];
        for (int i = 0; i < kPoints; ++i) {
            curve[i] = QPointF(i * xStep, bottom - (r[i] - kBottomDb) * yScale);
        }
        offscreen.setPen(QPen(QColor::fromRgba(kBandColours[band]), 1));
        offscreen.drawPolyline(curve.data(), kPoints);
    }
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
