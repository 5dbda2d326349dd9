#include "output/CTevMixer.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "core/AppMessages.h"
#include "core/CTevSoundDevices.h"
#include "core/EngineState.h"
#include "core/SettingsStore.h"

namespace tev {

CTevMixer::CTevMixer(QWidget* parent)
    : QDialog(parent),
      engine_(std::make_unique<MixerEngine>(monitor_, main_, decks_)),
      devices_(std::make_unique<CTevSoundDevices>(Settings(), nullptr, this)) {
    confirmExit_ = [this] {
        return QMessageBox::question(this, QStringLiteral("Tev Audio"),
                                     QStringLiteral("Are you sure you want to exit?"),
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    auto* layout = new QVBoxLayout(this);
    outputsText_ = new QLabel(this);
    layout->addWidget(outputsText_);
    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* row = new QHBoxLayout(options);
    auto* show = new QPushButton(QStringLiteral("Show"), options);
    row->addWidget(show);
    row->addStretch();
    layout->addWidget(options);
    layout->addStretch();
    connect(show, &QPushButton::clicked, this, &CTevMixer::ShowOptions);
    // A device that vanishes (unplugged, its server gone) is reported, and the options dialog
    // can open another.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &CTevMixer::CheckDevices);
    watch->start(1000);

    // The first run confirms the stored choice against the devices present, unseen.
    devices_->Run();
    SetUpOutputs(false);
}

CTevMixer::~CTevMixer() {
    hMixerWnd.Detach(this);
}

void CTevMixer::OnInitDialog() {
    hMixerWnd.Attach(this);
    setWindowTitle(QStringLiteral("Mixer"));
    resize(420, 330);
    SettingsStore& settings = Settings();
    for (int deck = 0; deck < kDeckCount; ++deck) {
        engine_->deckLevel[deck].Set(settings.LoadLevelDeck(deck));
    }
    engine_->SetCurveParameter(settings.LoadCrossFaderCurvePosition(), &settings);
}

void CTevMixer::SetUpOutputs(bool reportFailures) {
    QString problems;
    const std::pair<SoundOutput*, bool> outputs[] = {{&monitor_, false}, {&main_, true}};
    for (const auto& [output, isMain] : outputs) {
        const auto& device = isMain ? devices_->mainDevice() : devices_->monitorDevice();
        const auto& text = isMain ? devices_->mainText() : devices_->monitorText();
        std::string error;
        if (!output->OpenDevice(device, text, error)) {
            const QString line =
                QStringLiteral("The %1 output stays silent: %2.")
                    .arg(isMain ? QStringLiteral("main") : QStringLiteral("monitor"),
                         QString::fromStdString(error));
            std::fprintf(stderr, "TevAudio: %s\n", line.toUtf8().constData());
            problems += line + QLatin1Char('\n');
        }
    }
    lostReported_ = false;
    ShowOutputs();
    if (reportFailures && !problems.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Tev Audio"), problems.trimmed());
    }
}

void CTevMixer::ShowOutputs() {
    const auto describe = [](const SoundOutput& output) {
        if (!output.HasDevice()) {
            return QStringLiteral("none");
        }
        const QString name = QString::fromStdString(output.deviceName());
        return output.IsDeviceLost() ? name + QStringLiteral(" (lost: choose another in Options)")
                                     : name;
    };
    outputsText_->setText(QStringLiteral("Main output: %1\nMonitor output: %2")
                              .arg(describe(main_), describe(monitor_)));
}

void CTevMixer::CheckDevices() {
    if (lostReported_ || !(main_.IsDeviceLost() || monitor_.IsDeviceLost())) {
        return;
    }
    lostReported_ = true;
    std::fprintf(stderr, "TevAudio: a sound device stopped; its output is silent\n");
    ShowOutputs();
}

void CTevMixer::ShowOptions() {
    if (devices_->Run()) {
        SetUpOutputs(true);
    }
}

LRESULT CTevMixer::OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    return engine_->OnAppMessage(msg, wParam, lParam);
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
