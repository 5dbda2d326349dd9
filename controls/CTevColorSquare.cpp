#include "controls/CTevColorSquare.h"

#include <QImage>
#include <QPainter>

namespace tev {

CTevColorSquare::CTevColorSquare(QWidget* parent) : QFrame(parent) {
    setMinimumSize(32, 32);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor CTevColorSquare::ToQColor(uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void CTevColorSquare::SetColor(uint32_t color) {
    color_ = color & 0x00FFFFFF;
    update();
}

void CTevColorSquare::paintEvent(QPaintEvent*) {
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter offscreen(&image);
    offscreen.fillRect(image.rect(), ToQColor(color_));
    offscreen.setPen(palette().color(QPalette::Mid));
    offscreen.drawRect(image.rect().adjusted(0, 0, -1, -1));
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
