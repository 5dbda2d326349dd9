#include "controls/CTevSplashScreen.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <utility>

#include "controls/ImageFolder.h"

namespace tev {

CTevSplashScreen::CTevSplashScreen(QString imagePath)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      imagePath_(imagePath.isEmpty() ? ImagePath(QStringLiteral("TevAudioSplashScreen.png"))
                                     : std::move(imagePath)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    fadeTimer_.setInterval(kFadeStepMs);
    connect(&fadeTimer_, &QTimer::timeout, this, &CTevSplashScreen::OnFadeStep);
    hideTimer_.setSingleShot(true);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

bool CTevSplashScreen::ShowSplash(int durationMs, QWidget* parent) {
    if (!image_.load(imagePath_)) {
        return false;
    }
    if (parent != nullptr) {
        // A window of its own, kept above the program's other windows.
        setParent(parent, windowFlags());
    }
    setFixedSize(image_.size());
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - image_.width()) / 2,
             area.top() + (area.height() - image_.height()) / 2);
    }
    enabled_ = true;
    setWindowOpacity(1.0 / kFadeSteps);
    show();
    raise();
    fadeTimer_.start();
    hideTimer_.start(durationMs);
    // Shown now, not when the start-up it covers has ended; nothing else exists yet whose
    // events this could run.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

void CTevSplashScreen::OnFadeStep() {
    if (fadeStep_ < kFadeSteps) {
        ++fadeStep_;
    }
    setWindowOpacity(static_cast<double>(fadeStep_) / kFadeSteps);
    if (fadeStep_ == kFadeSteps) {
        fadeTimer_.stop();
        painted_ = true;
    }
}

void CTevSplashScreen::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (enabled_) {
        painter.drawImage(rect(), image_);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
}

}  // namespace tev
