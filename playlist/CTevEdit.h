#pragma once

#include <QLineEdit>

namespace tev {

// The play list's search field. Enter starts the search (WM_SEARCH_ENTER to the mixer) and goes
// no further, so the dialog around the field does not take it for its default button.
class CTevEdit : public QLineEdit {
  public:
    explicit CTevEdit(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace tev
