#include "output/CTevNeedle.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace tev {

CTevNeedle::CTevNeedle(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTevNeedle::paintEvent(QPaintEvent*) {
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter offscreen(&image);
    offscreen.fillRect(image.rect(), palette().color(QPalette::Button));
    const int right = width() - 1;
    const int bottom = height() - 1;
    const QPolygon triangle({QPoint(0, 0), QPoint(0, bottom), QPoint(right, bottom / 2)});
    offscreen.setPen(QPen(Qt::black, 1));
    offscreen.setBrush(QColor(192, 192, 192));
    offscreen.drawPolygon(triangle);
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
