#pragma once

#include <QFrame>
#include <cstdint>

namespace tev {

// A square filled with one colour: the sample of a deck's display colour in the options dialog.
class CTevColorSquare : public QFrame {
  public:
    explicit CTevColorSquare(QWidget* parent = nullptr);

    // 0x00BBGGRR, red in the low byte.
    void SetColor(uint32_t color);
    uint32_t color() const { return color_; }

    // The colour of a 0x00BBGGRR value.
    static QColor ToQColor(uint32_t color);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    uint32_t color_ = 0;
};

}  // namespace tev
