#include "decks/CTevTrackNameIndicator.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace tev {

CTevTrackNameIndicator::CTevTrackNameIndicator(QWidget* parent) : QFrame(parent) {
    // Courier New is rarely installed on Linux: the system's fixed font keeps the name legible.
    QFont monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospace.setFamilies({monospace.family(), QStringLiteral("DejaVu Sans Mono"),
                           QStringLiteral("Liberation Mono"), QStringLiteral("monospace")});
    monospace.setStyleHint(QFont::Monospace);
    monospace.setPixelSize(16);
    monospace.setWeight(QFont::Normal);
    setFont(monospace);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTevTrackNameIndicator::SetText(const QString& text) {
    text_ = text;
    update();
}

QString CTevTrackNameIndicator::NowPlayingText(const QString& title, const QString& filePath) {
    if (!title.isEmpty()) {
        return title;
    }
    const qsizetype folderEnd =
        std::max(filePath.lastIndexOf(QLatin1Char('/')), filePath.lastIndexOf(QLatin1Char('\\')));
    const QString fileName = filePath.mid(folderEnd + 1);
    // A leading dot starts a name, not an extension.
    const qsizetype extensionStart = fileName.lastIndexOf(QLatin1Char('.'));
    return extensionStart <= 0 ? fileName : fileName.left(extensionStart);
}

void CTevTrackNameIndicator::paintEvent(QPaintEvent*) {
    // Drawn off screen in one piece and copied in one call, so it never flickers.
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QPainter offscreen(&image);
    offscreen.fillRect(image.rect(), palette().color(QPalette::Window));
    offscreen.setFont(font());
    offscreen.setPen(Qt::black);
    offscreen.drawText(image.rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       DisplayedText());
    offscreen.end();
    QPainter(this).drawImage(0, 0, image);
}

}  // namespace tev
