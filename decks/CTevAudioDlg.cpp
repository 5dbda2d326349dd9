#include "decks/CTevAudioDlg.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/EngineThreads.h"
#include "output/CTevMixer.h"
#include "platform/KeyboardDevice.h"
#include "platform/SoundSystem.h"

namespace tev {
namespace {

// Dispatching for about 100 ms lets workers blocked in a send to the UI thread finish.
constexpr int kShutdownPumpSteps = 100;

}  // namespace

CTevAudioDlg::CTevAudioDlg(QWidget* parent) : QDialog(parent) {
    cpuUsageBar_ = new QProgressBar(this);
    cpuUsageBar_->setRange(0, 100);
    cpuUsageLabel_ = new QLabel(QStringLiteral("0 %"), this);
}

CTevAudioDlg::~CTevAudioDlg() {
    hMainWnd.Detach(this);
}

int CTevAudioDlg::DoModal() {
    if (!OnInitDialog()) {
        return result_;
    }
    if (ended_) {
        return result_;
    }
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    return result_;
}

void CTevAudioDlg::EndDialog(int result) {
    result_ = result;
    ended_ = true;
    if (loop_ != nullptr) {
        loop_->exit(result);
    }
}

bool CTevAudioDlg::OnInitDialog() {
    hMainWnd.Attach(this);
    setWindowTitle(QStringLiteral("Tev Audio"));

    mixer_ = std::make_unique<CTevMixer>();
    mixer_->OnInitDialog();

    trackLengthThread_ = StartTrackLengthLoader();
    keyboardThread_ = StartKeyboardPoll(Keyboard());

    // Without a sound system (not merely without a sound card) nothing could ever play.
    SoundSystem& sound = SoundSystem::Instance();
    if (!sound.Started()) {
        QMessageBox::critical(nullptr, QStringLiteral("Tev Audio"),
                              QStringLiteral("You must have a working sound system to run this "
                                             "software (%1).")
                                  .arg(QString::fromStdString(sound.LastError())));
        OnClose();
        return false;
    }

    LayOutPanels();
    auto* cpuTimer = new QTimer(this);
    connect(cpuTimer, &QTimer::timeout, this, &CTevAudioDlg::SampleCpuUsage);
    cpuTimer->start(500);
    return true;
}

void CTevAudioDlg::SampleCpuUsage() {
    cpuUsage_ = cpuMeter_.Sample();
    cpuUsageText_ = QStringLiteral("%1 %").arg(static_cast<int>(cpuUsage_));
    PostAppMessage(hMainWnd, WM_SHOW_CPU_USAGE);
}

void CTevAudioDlg::LayOutPanels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    const int width = mixer_->frameGeometry().width();
    mixer_->move(area.left() + (area.width() - width) / 2, area.top());
    mixer_->show();
}

void CTevAudioDlg::OnClose() {
    PumpMessages(kShutdownPumpSteps);
    SignalLongLivedThreadsToStop();
    PumpMessages(kShutdownPumpSteps);
    mixer_.reset();
    EndDialog(QDialog::Rejected);
}

LRESULT CTevAudioDlg::OnAppMessage(uint32_t msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    switch (msg) {
        case WM_CLOSE:
            OnClose();
            break;
        case WM_SHOW_CPU_USAGE:
            cpuUsageBar_->setValue(static_cast<int>(cpuUsage_));
            cpuUsageLabel_->setText(cpuUsageText_);
            break;
        default:
            break;  // the control updates of panels still to come
    }
    return 0;
}

}  // namespace tev
