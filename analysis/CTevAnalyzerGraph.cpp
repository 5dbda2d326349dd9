#include "analysis/CTevAnalyzerGraph.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPointF>

#include "analysis/FilterBank.h"
#include "controls/CTevColorSquare.h"

namespace tev {

namespace {

constexpr float kFullScale = 32767.0F;
const QColor kGuide(50, 205, 50);     // lime green
const QColor kSilver(192, 192, 192);  // the octave bars' lower end

void GuideLine(QPainter& painter, QPointF from, QPointF to) {
    painter.setPen(QPen(kGuide, 1.0));
    painter.drawLine(from, to);
}

}  // namespace

CTevAnalyzerGraph::CTevAnalyzerGraph(QWidget* parent) : QWidget(parent) {
    // The whole picture is drawn at every paint: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

QColor CTevAnalyzerGraph::DeckColor(int deck) {
    return CTevColorSquare::ToQColor(deck == 0 ? colorDeckA : colorDeckB);
}

QColor CTevAnalyzerGraph::ChartColor(uint32_t deckColor, float maximum) {
    const float share = maximum / kFullScale;
    auto part = [share](uint32_t component) {
        return static_cast<int>(static_cast<float>(component & 0xFFU) * share) & 0xFF;
    };
    return {part(deckColor), part(deckColor >> 8), part(deckColor >> 16)};
}

void CTevAnalyzerGraph::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    Draw(image);
    QPainter(this).drawImage(0, 0, image);
}

void CTevAnalyzerGraph::Draw(QImage& image) const {
    const int w = image.width();
    const int h = image.height();
    image.fill(Qt::black);
    QPainter painter(&image);
    switch (graphType_) {
        case kChart:
            DrawChart(painter, w, h);
            break;
        case kOctave:
            DrawOctave(painter, w, h);
            break;
        case kScope:
            DrawScope(painter, w, h);
            break;
        default:
            break;
    }
}

void CTevAnalyzerGraph::DrawChart(QPainter& painter, int w, int h) const {
    const float xs = static_cast<float>(w) / kChartEntries;
    auto chart = [&](int deck, float y0, float scale) {
        const uint32_t colour = deck == 0 ? colorDeckA : colorDeckB;
        const int start = chartIndex[deck];
        // The entry at the ring position is the oldest: the newest ends up at the right.
        for (int i = 0; i < kChartEntries - 1; ++i) {
            const int j0 = (start + i) % kChartEntries;
            const int j1 = (start + i + 1) % kChartEntries;
            const float x0 = static_cast<float>(i) * xs;
            const float x1 = static_cast<float>(i + 1) * xs;
            const QColor column = ChartColor(colour, chartMax[deck][j1]);
            painter.setPen(QPen(column, 1.0));
            painter.setBrush(column);
            for (const auto* table : {chartMax[deck], chartMin[deck]}) {
                const QPointF polygon[4] = {
                    {x0, y0}, {x0, y0 - table[j0] / scale}, {x1, y0 - table[j1] / scale}, {x1, y0}};
                painter.drawPolygon(polygon, 4);
            }
        }
    };
    const float half = static_cast<float>(h) / 2.0F;
    const float quarter = static_cast<float>(h) / 4.0F;
    const float fw = static_cast<float>(w);
    switch (deckSelection_) {
        case kSplit:
            chart(0, quarter, kFullScale / quarter);
            chart(1, 3.0F * quarter, kFullScale / quarter);
            GuideLine(painter, {0.0, quarter}, {fw, quarter});
            GuideLine(painter, {0.0, 3.0 * quarter}, {fw, 3.0 * quarter});
            break;
        case kBoth:
            chart(0, half, kFullScale / half);
            chart(1, half, kFullScale / half);
            GuideLine(painter, {0.0, half}, {fw, half});
            break;
        default:
            chart(deckSelection_ == kDeckB ? 1 : 0, half, kFullScale / half);
            GuideLine(painter, {0.0, half}, {fw, half});
            break;
    }
    GuideLine(painter, {fw / 2.0, 0.0}, {fw / 2.0, static_cast<double>(h)});
}

void CTevAnalyzerGraph::DrawOctave(QPainter& painter, int w, int h) const {
    auto bars = [&](int deck, int barWidth, int xOffset) {
        if (barWidth <= 0) {
            return;  // too narrow for ten bars
        }
        const QColor colour = DeckColor(deck);
        for (int b = 0; b < kOctaveBands; ++b) {
            const int bh = static_cast<int>(h * octaveLevels[deck][b] /
                                            static_cast<double>(FilterBank::kFullScaleDb));
            if (bh <= 0) {
                continue;  // silence, or a level below 0 dB: no bar
            }
            const QRect bar(xOffset + barWidth * b, h - bh, barWidth, bh);
            QLinearGradient gradient(0, bar.top(), 0, bar.top() + bh);
            gradient.setColorAt(0.0, colour);
            gradient.setColorAt(1.0, kSilver);
            painter.fillRect(bar, gradient);
            painter.setPen(QPen(colour, 1.0));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(bar);
        }
    };
    switch (deckSelection_) {
        case kSplit:
            bars(0, (w / 2) / kOctaveBands, 0);
            bars(1, (w / 2) / kOctaveBands, w / 2);
            break;
        case kBoth:
            bars(0, w / kOctaveBands, 0);
            bars(1, w / kOctaveBands, 0);
            break;
        default:
            bars(deckSelection_ == kDeckB ? 1 : 0, w / kOctaveBands, 0);
            break;
    }
}

void CTevAnalyzerGraph::DrawScope(QPainter& painter, int w, int h) const {
    // The centre line and the half width lie on whole pixels.
    const int y0 = h / 2;
    const int halfWidth = w / 2;
    const double scale = kFullScale / y0;
    auto trace = [&](int deck, double xOffset, double xs) {
        painter.setPen(QPen(DeckColor(deck), 1.0));
        for (int i = 0; i < kScopePoints - 1; ++i) {
            painter.drawLine(QPointF(xOffset + i * xs, y0 - scopeTrace[deck][i] / scale),
                             QPointF(xOffset + (i + 1) * xs, y0 - scopeTrace[deck][i + 1] / scale));
        }
    };
    auto frame = [&](int deck, int x, int width) {
        painter.setPen(QPen(DeckColor(deck), 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(x, 0, width - 1, h - 1);
    };
    const double full = static_cast<double>(w) / kScopePoints;
    switch (deckSelection_) {
        case kBoth:
            // Overlaid traces stay crisp: no frame, no smoothing.
            trace(0, 0.0, full);
            trace(1, 0.0, full);
            break;
        case kSplit: {
            frame(0, 0, halfWidth);
            frame(1, halfWidth, halfWidth);
            painter.setRenderHint(QPainter::Antialiasing);
            const double halfStep = static_cast<double>(halfWidth) / kScopePoints;
            trace(0, 0.0, halfStep);
            trace(1, halfWidth, halfStep);
            break;
        }
        default: {
            const int deck = deckSelection_ == kDeckB ? 1 : 0;
            frame(deck, 0, w);
            painter.setRenderHint(QPainter::Antialiasing);
            trace(deck, 0.0, full);
            break;
        }
    }
}

}  // namespace tev
