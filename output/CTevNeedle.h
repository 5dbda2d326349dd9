#pragma once

#include <QWidget>

namespace tev {

// A pointer beside a level meter: a grey triangle pointing right, filling the control.
class CTevNeedle : public QWidget {
  public:
    explicit CTevNeedle(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tev
