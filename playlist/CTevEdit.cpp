#include "playlist/CTevEdit.h"

#include <QKeyEvent>

#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

CTevEdit::CTevEdit(QWidget* parent) : QLineEdit(parent) {}

void CTevEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        SendAppMessage(hMixerWnd, WM_SEARCH_ENTER, 0, 0);
        // Accepted, the key is not passed on to the dialog.
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

}  // namespace tev
