#pragma once

#include <QBasicTimer>
#include <QPoint>
#include <QWidget>

class QImage;
#include <algorithm>

namespace tev {

// A deck's turntable: a record whose 50 sectors around the label show the deck's chart (each
// chunk's maximum outward, its minimum inward, in the deck's colour darkened by the maximum),
// turning one sector per analysed chunk, and the scratch gesture. While the left button is held the
// pointer's angle around the centre is sampled every 30 ms; each time the turning direction changes
// the deck panel is told (WM_CHART_TURNED_FORWARD when clockwise, WM_CHART_TURNED_BACKWARD when
// counter-clockwise), and WM_CHART_RELEASED when the button is let go.
class CTevCircularChartGraph : public QWidget {
  public:
    static constexpr int kRotationSteps = 27;  // marker positions in one turn

    explicit CTevCircularChartGraph(QWidget* parent = nullptr);

    void SetDeck(int deck);
    int deck() const { return deck_; }
    // The deck's play notification counter, one of kRotationSteps positions: repaints the disc,
    // which has turned with the chart since.
    void SetRotation(int index);
    int rotation() const { return rotation_; }

    // One sample of the gesture: the timer's work while the button is held.
    void Tick();

    // Draws the control at the image's size, as a paint would.
    void Draw(QImage& image);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    // Angle of the line from the centre to the point, folded into -pi/2 .. pi/2: only its
    // change over one sample matters, and a jump of more than a quarter turn is the fold.
    float AngleAt(const QPoint& point) const;
    int SideLength() const { return std::min(width(), height()); }

    QBasicTimer timer_;
    QPoint lastMouse_;
    int deck_ = 0;
    float lastAngle_ = 0.0f;
    bool backward_ = false;
    bool forward_ = false;
    int size_ = 0;
    int rotation_ = 0;
};

}  // namespace tev
