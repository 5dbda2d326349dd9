#pragma once

#include <QSlider>

namespace tev {

// A deck's position slider. Pressing it tells the deck panel first (WM_POSITION_PRESSED), so the
// panel stops following the playing position while the user drags; a press on the groove jumps
// the handle to the pressed point, as a DJ expects, instead of paging towards it.
class CTevSliderCtrl : public QSlider {
  public:
    explicit CTevSliderCtrl(Qt::Orientation orientation = Qt::Horizontal,
                            QWidget* parent = nullptr);

    void SetDeck(int deck) { deck_ = deck; }
    int deck() const { return deck_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void JumpTo(const QPoint& point);

    int deck_ = 0;
};

}  // namespace tev
