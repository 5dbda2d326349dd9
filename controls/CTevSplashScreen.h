#pragma once

#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace tev {

// The picture shown while the program starts. Where the desktop can blend windows it fades in,
// step by step on a timer, so it never holds up the start-up; elsewhere it simply appears. It
// hides when its time is up or when it is destroyed, whichever comes first.
class CTevSplashScreen : public QWidget {
  public:
    static constexpr int kFadeSteps = 10;
    static constexpr int kFadeStepMs = 40;

    // `imagePath`: the picture; by default the program's splash image.
    explicit CTevSplashScreen(QString imagePath = {});

    // Loads the picture and shows it centred on the screen, above other windows, for at most
    // `durationMs`. False, and nothing shown, when the picture does not load.
    bool ShowSplash(int durationMs, QWidget* parent);

    // True once the fade-in has run to its end.
    bool painted() const { return painted_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void OnFadeStep();

    QString imagePath_;
    QImage image_;
    bool enabled_ = false;
    bool painted_ = false;
    int fadeStep_ = 0;
    QTimer fadeTimer_;
    QTimer hideTimer_;
};

}  // namespace tev
