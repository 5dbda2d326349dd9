#include "output/CTevMixer.h"

#include <QCloseEvent>
#include <QMessageBox>

#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {

CTevMixer::CTevMixer(QWidget* parent) : QDialog(parent) {
    confirmExit_ = [this] {
        return QMessageBox::question(this, QStringLiteral("Tev Audio"),
                                     QStringLiteral("Are you sure you want to exit?"),
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
}

CTevMixer::~CTevMixer() {
    hMixerWnd.Detach(this);
}

void CTevMixer::OnInitDialog() {
    hMixerWnd.Attach(this);
    setWindowTitle(QStringLiteral("Mixer"));
    resize(420, 330);
}

LRESULT CTevMixer::OnAppMessage(uint32_t /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return 0;
}

void CTevMixer::closeEvent(QCloseEvent* event) {
    if (!confirmExit_()) {
        event->ignore();
        return;
    }
    PostAppMessage(hMainWnd, WM_CLOSE);
    event->accept();
}

}  // namespace tev
