#include "output/CTevMixer.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "analysis/CTevAnalyzer.h"
#include "analysis/CTevAnalyzerGraph.h"
#include "controls/CTevAboutDlg.h"
#include "controls/CTevButtonCtrl.h"
#include "controls/ImageFolder.h"
#include "core/AppMessages.h"
#include "core/CTevSoundDevices.h"
#include "core/EngineState.h"
#include "core/SettingsStore.h"
#include "decks/CTevDeck2.h"
#include "decks/CTevEffects.h"
#include "decks/CTevEqualizer2.h"
#include "decks/KeyboardControl.h"
#include "input/CdReader.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"
#include "output/CTevCrossFadeCurveGraph.h"
#include "output/CTevCrossFaderCtrl.h"
#include "platform/KeyboardDevice.h"
#include "platform/SoundSystem.h"
#include "playlist/CTevPlayList2.h"

namespace tev {
namespace {

QSlider* MakeSlider(Qt::Orientation orientation, int minimum, int maximum, QWidget* parent) {
    auto* slider = new QSlider(orientation, parent);
    slider->setRange(minimum, maximum);
    slider->setFocusPolicy(Qt::NoFocus);  // the keys belong to the keyboard control
    if (orientation == Qt::Vertical) {
        // The top is the loudest end, position 0.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        slider->setMinimumHeight(150);
    }
    return slider;
}

double LevelOf(int position) {
    return static_cast<double>(CTevMixer::kLevelRange - position) / CTevMixer::kLevelRange;
}

// Rounded, so that a value a key moved shows where it is and is not set back a step.
int LevelPosition(double level) {
    return CTevMixer::kLevelRange - static_cast<int>(std::lround(level * CTevMixer::kLevelRange));
}

int FaderPosition(double value) {
    return static_cast<int>(std::lround(value * CTevMixer::kFaderRange));
}

}  // namespace

CTevMixer::CTevMixer(QWidget* parent)
    : QDialog(parent),
      analyzer_(std::make_unique<CTevAnalyzer>(this)),
      engine_(
          std::make_unique<MixerEngine>(monitor_, main_, *this, analyzer_->graph()->analysis())),
      devices_(std::make_unique<CTevSoundDevices>(Settings(), nullptr, this)) {
    tellUser_ = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("Tev Audio"), text);
    };
    confirmExit_ = [this] {
        return QMessageBox::question(this, QStringLiteral("Tev Audio"),
                                     QStringLiteral("Are you sure you want to exit?"),
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    };
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    BuildControls();

    // The other panels, each a window of its own in front of the mixer.
    // Short enough to clear the equalizers above them on a 1080-line screen.
    analyzer_->setFixedSize(560, 180);
    playList_ = std::make_unique<CTevPlayList2>(this);
    const int mixerWidth = sizeHint().width();
    for (int d = 0; d < kDeckCount; ++d) {
        decks_[d] = std::make_unique<CTevDeck2>(this);
        hDeckWnd[d].Attach(decks_[d].get());
        decks_[d]->SetDeck(d);
        // Effects and equalizer together are as wide as a deck and half the mixer, so that the
        // layout around a moved mixer matches the one around the screen's centre.
        const int deckWidth = decks_[d]->sizeHint().width();
        constexpr int kEffectsWidth = 260;
        effects_[d] = std::make_unique<CTevEffects>(this);
        effects_[d]->SetDeck(d);
        equalizers_[d] = std::make_unique<CTevEqualizer2>(this);
        equalizers_[d]->SetDeck(d);
        // One height for the row under a deck.
        const int rowHeight =
            std::max(effects_[d]->sizeHint().height(), equalizers_[d]->sizeHint().height());
        effects_[d]->setFixedSize(kEffectsWidth, rowHeight);
        equalizers_[d]->setFixedSize(deckWidth + mixerWidth / 2 - kEffectsWidth, rowHeight);
    }
    keys_ = std::make_unique<KeyboardControl>(Keyboard());
    keys_->AddPanel(this);
    keys_->AddPanel(analyzer_.get());
    for (int d = 0; d < kDeckCount; ++d) {
        keys_->AddPanel(decks_[d].get());
        keys_->AddPanel(effects_[d].get());
        keys_->AddPanel(equalizers_[d].get());
    }
    // The decks and the mixer form one row of equal height.
    const int height = std::max(sizeHint().height(), decks_[0]->sizeHint().height());
    setFixedSize(mixerWidth, height);
    for (auto& deck : decks_) {
        deck->setFixedSize(deck->sizeHint().width(), height);
    }

    // A device that vanishes (unplugged, its server gone) is reported, and the options dialog
    // can open another.
    auto* watch = new QTimer(this);
    connect(watch, &QTimer::timeout, this, &CTevMixer::CheckDevices);
    watch->start(1000);
    auto* recordingClock = new QTimer(this);
    connect(recordingClock, &QTimer::timeout, this, &CTevMixer::ShowRecording);
    recordingClock->start(500);

    // The formats this machine's encoders can write, FLAC first.
    std::vector<CTevSoundDevices::RecordingFormat> formats;
    for (const RecordingFormat format : AvailableRecordingFormats()) {
        formats.push_back(
            {RecordingExtension(format), QString::fromLatin1(RecordingFormatName(format))});
    }
    devices_->SetRecordingFormats(formats);
    devices_->SetDefaultRecordingFolder(QFile::decodeName(DefaultRecordingFolder().c_str()));
    // The first run confirms the stored choice against the devices present, unseen.
    devices_->Run();
    SetUpOutputs(false);
}

CTevMixer::~CTevMixer() {
    SaveMixSettings();
    DestroyPanels();
    hMixerWnd.Detach(this);
}

void CTevMixer::BuildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* levels = new QHBoxLayout();
    const auto column = [this, levels](const QString& caption, QWidget* control) {
        auto* box = new QVBoxLayout();
        auto* label = new QLabel(caption, this);
        label->setAlignment(Qt::AlignHCenter);
        box->addWidget(label);
        box->addWidget(control, 1, Qt::AlignHCenter);
        levels->addLayout(box);
    };
    for (int d = 0; d < kDeckCount; ++d) {
        deckLevel_[d] = MakeSlider(Qt::Vertical, 0, kLevelRange, this);
        meters_[d] = new QProgressBar(this);
        meters_[d]->setOrientation(Qt::Vertical);
        meters_[d]->setRange(0, 10);
        meters_[d]->setValue(0);
        meters_[d]->setTextVisible(false);
        meters_[d]->setFixedWidth(14);
    }
    mainLevelSlider_ = MakeSlider(Qt::Vertical, 0, kLevelRange, this);
    monitorLevelSlider_ = MakeSlider(Qt::Vertical, 0, kLevelRange, this);
    column(QStringLiteral("Deck A\nLevel"), deckLevel_[0]);
    column(QString(), meters_[0]);
    column(QStringLiteral("\nMain"), mainLevelSlider_);
    column(QStringLiteral("\nMonitor"), monitorLevelSlider_);
    column(QString(), meters_[1]);
    column(QStringLiteral("Deck B\nLevel"), deckLevel_[1]);
    layout->addLayout(levels);

    auto* mainBox = new QGroupBox(QStringLiteral("Main Cross Fader"), this);
    auto* mainGrid = new QGridLayout(mainBox);
    mainCrossFader_ = new CTevCrossFaderCtrl(mainBox);
    mainCrossFader_->setRange(-kFaderRange, kFaderRange);
    mainCrossFader_->setFocusPolicy(Qt::NoFocus);
    cueMark_ = MakeSlider(Qt::Horizontal, -kFaderRange, kFaderRange, mainBox);
    faderCueing_ = new QCheckBox(QStringLiteral("Enabled"), mainBox);
    mainGrid->addWidget(mainCrossFader_, 0, 0, 1, 3);
    // On two lines beside its slider, so that the mixer is no wider for its caption.
    auto* cueMarkLabel = new QLabel(QStringLiteral("Cross Fader Cue Mark"), mainBox);
    cueMarkLabel->setWordWrap(true);
    mainGrid->addWidget(cueMarkLabel, 1, 0);
    mainGrid->addWidget(cueMark_, 1, 1);
    auto* cueingBox = new QGroupBox(QStringLiteral("Fader Cueing"), mainBox);
    (new QVBoxLayout(cueingBox))->addWidget(faderCueing_);
    mainGrid->addWidget(cueingBox, 1, 2);
    layout->addWidget(mainBox);

    auto* monitorBox = new QGroupBox(QStringLiteral("Monitor Cross Fader"), this);
    monitorCrossFader_ = MakeSlider(Qt::Horizontal, -kFaderRange, kFaderRange, monitorBox);
    (new QVBoxLayout(monitorBox))->addWidget(monitorCrossFader_);
    layout->addWidget(monitorBox);

    auto* curveBox = new QGroupBox(QStringLiteral("Cross Fade Curve"), this);
    auto* curveRow = new QHBoxLayout(curveBox);
    curveSlider_ = MakeSlider(Qt::Horizontal, -kFaderRange, kFaderRange, curveBox);
    curveGraph_ = new CTevCrossFadeCurveGraph(curveBox);
    curveGraph_->setFixedSize(SoundOutput::kCurvePoints, 49);  // one pixel column per point
    curveRow->addWidget(curveSlider_, 1);
    curveRow->addWidget(curveGraph_);
    layout->addWidget(curveBox);

    auto* balanceRow = new QHBoxLayout();
    auto* mainBalanceBox = new QGroupBox(QStringLiteral("Main Balance"), this);
    auto* mainBalanceLayout = new QVBoxLayout(mainBalanceBox);
    mainBalance_ = MakeSlider(Qt::Horizontal, -kBalanceRange, kBalanceRange, mainBalanceBox);
    mainBalanceReset_ = new QPushButton(QStringLiteral("Reset"), mainBalanceBox);
    mainBalanceLayout->addWidget(mainBalance_);
    mainBalanceLayout->addWidget(mainBalanceReset_);
    balanceRow->addWidget(mainBalanceBox);
    auto* monitorBalanceBox = new QGroupBox(QStringLiteral("Monitor Balance"), this);
    auto* monitorGrid = new QGridLayout(monitorBalanceBox);
    for (int d = 0; d < kDeckCount; ++d) {
        monitorBalance_[d] =
            MakeSlider(Qt::Horizontal, -kBalanceRange, kBalanceRange, monitorBalanceBox);
        monitorGrid->addWidget(
            new QLabel(d == 0 ? QStringLiteral("A:") : QStringLiteral("B:"), monitorBalanceBox), d,
            0);
        monitorGrid->addWidget(monitorBalance_[d], d, 1, 1, 2);
    }
    monitorBalanceReset_ = new QPushButton(QStringLiteral("Reset"), monitorBalanceBox);
    leftRight_ = new QPushButton(QStringLiteral("L R"), monitorBalanceBox);
    monitorGrid->addWidget(monitorBalanceReset_, 2, 1);
    monitorGrid->addWidget(leftRight_, 2, 2);
    balanceRow->addWidget(monitorBalanceBox);
    layout->addLayout(balanceRow);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    optionsBox_ = options;
    auto* optionsRow = new QHBoxLayout(options);
    auto* show = new QPushButton(QStringLiteral("Show"), options);
    outputsText_ = new QLabel(options);
    optionsRow->addWidget(show);
    optionsRow->addWidget(outputsText_, 1);
    layout->addWidget(options);

    // Beside the outputs it concerns, in two lines as they are, and with no say in the row's
    // height, so that the mixer grows no taller than the outputs' text makes it.
    statusLine_ = new QLabel(options);
    statusLine_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    statusLine_->setToolTip(QStringLiteral(
        "The processor's load, and how often a sound device ran dry (a dropout is heard as a "
        "click or a gap)"));
    aboutButton_ = new QToolButton(options);
    aboutButton_->setText(QStringLiteral("?"));
    aboutButton_->setToolTip(QStringLiteral("About TevAudio... (F1)"));
    aboutButton_->setFocusPolicy(Qt::NoFocus);
    recordButton_ = new CTevButtonCtrl(options);
    recordButton_->SetKind(CTevButtonCtrl::Kind::Record);
    recordButton_->setFixedSize(24, 22);
    recordButton_->setFocusPolicy(Qt::NoFocus);
    recordButton_->setToolTip(QStringLiteral(
        "Record: what the main output plays, into a file (folder and format in Options)"));
    optionsRow->addWidget(statusLine_);
    optionsRow->addWidget(recordButton_, 0, Qt::AlignTop);
    optionsRow->addWidget(aboutButton_, 0, Qt::AlignTop);
    connect(recordButton_, &QPushButton::clicked, this, &CTevMixer::ToggleRecording);
    ShowStatus(0.0, 0);
    connect(aboutButton_, &QToolButton::clicked, this, &CTevMixer::ShowAboutBox);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::ApplicationShortcut);
    connect(help, &QShortcut::activated, this, &CTevMixer::ShowAboutBox);
    for (QPushButton* button : {mainBalanceReset_, monitorBalanceReset_, leftRight_, show}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::NoFocus);
    }

    mainCrossFader_->setToolTip(QStringLiteral("'B', 'N'"));
    deckLevel_[0]->setToolTip(QStringLiteral("'G', 'T'"));
    deckLevel_[1]->setToolTip(QStringLiteral("'H', 'Y'"));
    monitorLevelSlider_->setToolTip(QStringLiteral("'Ctrl-D', 'Ctrl-U'"));
    mainLevelSlider_->setToolTip(QStringLiteral("'D', 'U'"));
    monitorCrossFader_->setToolTip(QStringLiteral("'Ctrl-B', 'Ctrl-N'"));
    curveSlider_->setToolTip(QStringLiteral("'Home', 'End'"));

    for (int d = 0; d < kDeckCount; ++d) {
        connect(deckLevel_[d], &QSlider::valueChanged, this, [this, d] {
            OnDeckLevelSlider(d);
            ScheduleSave();
        });
        connect(deckLevel_[d], &QSlider::sliderReleased, this, &CTevMixer::SaveMixSettings);
        connect(monitorBalance_[d], &QSlider::valueChanged, this, [this, d](int position) {
            monitor_.SetDeckPan(d, static_cast<double>(position) / kBalanceRange);
        });
    }
    connect(mainLevelSlider_, &QSlider::valueChanged, this, &CTevMixer::OnMainLevelSlider);
    connect(monitorLevelSlider_, &QSlider::valueChanged, this, &CTevMixer::OnMonitorLevelSlider);
    connect(mainCrossFader_, &QSlider::valueChanged, this, &CTevMixer::OnMainCrossFaderSlider);
    connect(monitorCrossFader_, &QSlider::valueChanged, this,
            &CTevMixer::OnMonitorCrossFaderSlider);
    connect(curveSlider_, &QSlider::valueChanged, this, &CTevMixer::OnCurveSlider);
    connect(curveSlider_, &QSlider::sliderReleased, this, &CTevMixer::SaveMixSettings);
    saveTimer_ = new QTimer(this);
    saveTimer_->setSingleShot(true);
    saveTimer_->setInterval(1000);
    connect(saveTimer_, &QTimer::timeout, this, &CTevMixer::SaveMixSettings);
    connect(cueMark_, &QSlider::valueChanged, this, [this](int position) {
        mainCrossFader_->SetCueMark(static_cast<double>(position) / kFaderRange);
    });
    connect(faderCueing_, &QCheckBox::toggled, mainCrossFader_, &CTevCrossFaderCtrl::EnableCueing);
    connect(mainBalance_, &QSlider::valueChanged, this, [this](int position) {
        main_.SetBalance(static_cast<double>(position) / kBalanceRange);
    });
    connect(mainBalanceReset_, &QPushButton::clicked, this, [this] { mainBalance_->setValue(0); });
    connect(monitorBalanceReset_, &QPushButton::clicked, this, [this] {
        monitorBalance_[0]->setValue(0);
        monitorBalance_[1]->setValue(0);
    });
    connect(leftRight_, &QPushButton::clicked, this, [this] {
        monitorBalance_[0]->setValue(-kBalanceRange);
        monitorBalance_[1]->setValue(kBalanceRange);
    });
    connect(show, &QPushButton::clicked, this, &CTevMixer::ShowOptions);
}

void CTevMixer::OnInitDialog() {
    hMixerWnd.Attach(this);
    setWindowTitle(QStringLiteral("Mixer"));
    setWindowIcon(ProgramIcon());
    SettingsStore& settings = Settings();
    savedCurve_ = settings.LoadCrossFaderCurvePosition();
    engine_->curveParameter.Set(savedCurve_);
    PostAppMessage(hMainWnd, WM_SYNC_CURVE_SLIDER);
    engine_->SetCurveParameter(engine_->curveParameter.Get(), nullptr);
    engine_->mainCrossFader.Set(-1.0);
    engine_->monitorCrossFader.Set(-1.0);
    PostAppMessage(hMainWnd, WM_SYNC_MONITOR_CROSS_FADER);
    PostAppMessage(hMainWnd, WM_SYNC_MAIN_CROSS_FADER);
    for (int d = 0; d < kDeckCount; ++d) {
        savedLevel_[d] = settings.LoadLevelDeck(d);
        engine_->deckLevel[d].Set(savedLevel_[d]);
        PostAppMessage(hMainWnd, WM_SYNC_DECK_LEVEL, WPARAM(d));
        monitorBalance_[d]->setValue(0);
    }
    mainBalance_->setValue(0);
    initialised_ = true;
}

// ---- Outputs ----

void CTevMixer::SetUpOutputs(bool reportFailures) {
    QString problems;
    SoundSystem::Instance().SetLatencyMs(devices_->latencyMs());
    engine_->SuspendForDeviceChange();
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
    engine_->ResumeAfterDeviceChange();
    recorder_.FollowDevice(main_.HasDevice() ? main_.deckDevice()->device() : nullptr);
    EnableMonitorControls();
    mainLevel_.SetEnabled(main_.HasDevice());
    mainLevelSlider_->setEnabled(main_.HasDevice());
    mainLevel_.Set(main_.HasDevice() ? main_.GetSpeakersVolume() : 0.0);
    if (main_.HasDevice()) {
        PostAppMessage(hMainWnd, WM_SYNC_MAIN_LEVEL);
        main_.SetWaveVolume(mainLevel_.Get());
    }
    lostReported_ = false;
    ShowOutputs();
    if (reportFailures && !problems.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Tev Audio"), problems.trimmed());
    }
}

void CTevMixer::EnableMonitorControls() {
    const DeckBufferDevice* monitor = monitor_.deckDevice();
    const DeckBufferDevice* main = main_.deckDevice();
    // Each level acts on its output's own volume lines; one card serving both (split, or both
    // outputs on the same card) has one set of lines, which the main level owns.
    const bool ownCard = monitor != nullptr && (main == nullptr || monitor->card() != main->card());
    monitorLevel_.SetEnabled(ownCard);
    monitorLevelSlider_->setEnabled(ownCard);
    monitorLevel_.Set(ownCard ? monitor_.GetSpeakersVolume() : 0.0);
    if (ownCard) {
        monitor_.SetWaveVolume(monitorLevel_.Get());
    }
    monitorLevelSlider_->setValue(LevelPosition(monitorLevel_.Get()));
    // The monitor's cross fader and balances shape what the headphones hear: nothing to shape
    // without a monitor output, or when it plays on the main output's own speakers. The rear
    // pair of a split card is headphones of their own.
    const bool ownOutput =
        ownCard || (monitor != nullptr && monitor->rearPair() != main->rearPair());
    engine_->monitorCrossFader.SetEnabled(ownOutput);
    for (QWidget* control :
         {static_cast<QWidget*>(monitorCrossFader_), static_cast<QWidget*>(monitorBalance_[0]),
          static_cast<QWidget*>(monitorBalance_[1]), static_cast<QWidget*>(monitorBalanceReset_),
          static_cast<QWidget*>(leftRight_)}) {
        control->setEnabled(ownOutput);
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
    outputsText_->setText(
        QStringLiteral("Main: %1\nMonitor: %2").arg(describe(main_), describe(monitor_)));
}

void CTevMixer::CheckDevices() {
    if (!ordinaryThreadReported_) {
        for (const SoundOutput* output : {&main_, &monitor_}) {
            const SoundCard* card = output->HasDevice() ? output->deckDevice()->card() : nullptr;
            if (card != nullptr && !card->RunsInRealTime()) {
                ordinaryThreadReported_ = true;
                std::fprintf(stderr,
                             "TevAudio: the sound thread runs without real-time priority; on a "
                             "busy computer choose a longer latency in Options\n");
                break;
            }
        }
    }
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

// ---- Sliders ----

void CTevMixer::OnDeckLevelSlider(int deck) {
    engine_->deckLevel[deck].Set(LevelOf(deckLevel_[deck]->value()));
    engine_->UpdateDeckVolumes();
}

void CTevMixer::OnMainLevelSlider() {
    mainLevel_.Set(LevelOf(mainLevelSlider_->value()));
    main_.SetSpeakersVolume(mainLevel_.Get());
    main_.SetWaveVolume(mainLevel_.Get());
}

void CTevMixer::OnMonitorLevelSlider() {
    if (!monitorLevel_.enabled()) {
        return;
    }
    monitorLevel_.Set(LevelOf(monitorLevelSlider_->value()));
    monitor_.SetSpeakersVolume(monitorLevel_.Get());
    monitor_.SetWaveVolume(monitorLevel_.Get());
}

void CTevMixer::OnMainCrossFaderSlider() {
    engine_->mainCrossFader.Set(static_cast<double>(mainCrossFader_->value()) / kFaderRange);
    engine_->UpdateDeckVolumes();
}

void CTevMixer::OnMonitorCrossFaderSlider() {
    engine_->monitorCrossFader.Set(static_cast<double>(monitorCrossFader_->value()) / kFaderRange);
    engine_->UpdateDeckVolumes();
}

void CTevMixer::OnCurveSlider() {
    engine_->SetCurveParameter(static_cast<double>(curveSlider_->value()) / kFaderRange, nullptr);
    ScheduleSave();
}

void CTevMixer::ScheduleSave() {
    if (initialised_) {
        saveTimer_->start();
    }
}

void CTevMixer::SaveMixSettings() {
    if (!initialised_) {
        return;  // the values are still the stored ones
    }
    saveTimer_->stop();
    SettingsStore& settings = Settings();
    for (int d = 0; d < kDeckCount; ++d) {
        const auto level = static_cast<float>(engine_->deckLevel[d].Get());
        if (std::abs(level - savedLevel_[d]) > 1e-4F) {  // the slider's step is 1/65,535
            settings.SaveLevelDeck(d, level);
            savedLevel_[d] = level;
        }
    }
    const auto curve = static_cast<float>(engine_->curveParameter.Get());
    if (std::abs(curve - savedCurve_) > 1e-4F) {
        settings.SaveCrossFaderCurvePosition(curve);
        savedCurve_ = curve;
    }
}

void CTevMixer::ShowDeckLevel(int deck) {
    deckLevel_[deck]->setValue(LevelPosition(engine_->deckLevel[deck].Get()));
    OnDeckLevelSlider(deck);
}

void CTevMixer::ShowMainLevel() {
    mainLevelSlider_->setValue(LevelPosition(mainLevel_.Get()));
    OnMainLevelSlider();
}

void CTevMixer::ShowMonitorLevel() {
    monitorLevelSlider_->setValue(LevelPosition(monitorLevel_.Get()));
    OnMonitorLevelSlider();
}

void CTevMixer::ShowMainCrossFader() {
    mainCrossFader_->setValue(FaderPosition(engine_->mainCrossFader.Get()));
    OnMainCrossFaderSlider();
}

void CTevMixer::ShowMonitorCrossFader() {
    monitorCrossFader_->setValue(FaderPosition(engine_->monitorCrossFader.Get()));
    OnMonitorCrossFaderSlider();
}

void CTevMixer::ShowCurveParameter() {
    curveSlider_->setValue(FaderPosition(engine_->curveParameter.Get()));
}

void CTevMixer::RedrawCurveGraph() {
    for (int d = 0; d < kDeckCount; ++d) {
        for (int i = 0; i < SoundOutput::kCurvePoints; ++i) {
            curveGraph_->SetPoint(d, i, main_.CurvePoint(d, i));
        }
    }
    curveGraph_->update();
}

void CTevMixer::ShowLevelMeter(int deck) {
    meters_[deck]->setValue(engine_->meters[deck].Current());
}

// ---- Messages ----

LRESULT CTevMixer::OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CD_CLOSED:
        case WM_LOAD_CUED_TRACK:
        case WM_TRACK_ENDED:
        case WM_SEARCH_ENTER:
        case WM_TRACK_LOADED:
        case WM_APPEND_PENDING_ENTRY:
        case WM_PLAYLIST_CHANGED:
        case WM_NEXT_TRACK:
        case WM_PREVIOUS_TRACK:
        case WM_DECK_EMPTIED:
        case WM_TRACK_LENGTH_LOADED:
            return OnPlayListMessage(msg, static_cast<int>(wParam), lParam);
        default:
            break;
    }
    if (msg == WM_KEY_PRESSED || msg == WM_KEYDOWN || msg == WM_KEYUP) {
        if (decks_[0] != nullptr) {  // not while the panels close
            const auto key = static_cast<unsigned char>(wParam);
            if (msg == WM_KEY_PRESSED) {
                OnKeyPressed(static_cast<char>(key));
            } else if (msg == WM_KEYDOWN) {
                KeyDown(key);
            } else {
                KeyUp(key);
            }
        }
        return 0;
    }
    const LRESULT result = engine_->OnAppMessage(msg, wParam, lParam);
    const int deck = static_cast<int>(wParam);
    if (msg == WM_STOP_FORWARD && deck >= 0 && deck < kDeckCount && loadAfterStop_[deck]) {
        // Only now: the stop's wait for the deck's forwarder dispatches messages, and a load that
        // started play in the middle of it would find the old forwarder still there.
        loadAfterStop_[deck] = false;
        PostAppMessage(hMixerWnd, WM_LOAD_CUED_TRACK, WPARAM(deck), 1);
    }
    return result;
}

LRESULT CTevMixer::OnPlayListMessage(uint32_t msg, int deck, LPARAM lParam) {
    if (playList_ == nullptr) {
        return 0;  // the program is closing
    }
    switch (msg) {
        case WM_SEARCH_ENTER:
            playList_->Find();
            return 0;
        case WM_PLAYLIST_CHANGED:
            playList_->MeasureNext();
            return 0;
        case WM_TRACK_LENGTH_LOADED:
            playList_->OnTrackLengthLoaded();
            return 0;
        default:
            break;
    }
    // A deck being destroyed may still report that it let go of its CD.
    if (deck < 0 || deck >= kDeckCount || decks_[deck] == nullptr) {
        return 0;
    }
    switch (msg) {
        case WM_CD_CLOSED:
            playList_->RemoveMediumTracks(deck);
            break;
        case WM_LOAD_CUED_TRACK:
            LoadCuedTrack(deck, lParam != 0);
            break;
        case WM_TRACK_ENDED:
            OnTrackEnded(deck, lParam);
            break;
        case WM_TRACK_LOADED:
            loadAtEnd_[deck] = false;
            loadAfterStop_[deck] = false;
            AddLoadedTrack(deck, lParam != 0);
            break;
        case WM_APPEND_PENDING_ENTRY: {
            const std::string entry = decks_[deck]->GetPendingEntry();
            if (lParam == 0) {
                playList_->AddTrack(deck, entry, -1.0, {});
                playList_->MeasureNext();
            } else {
                AddCdTrack(deck, entry, static_cast<int>(lParam), false);
            }
            break;
        }
        case WM_NEXT_TRACK:
            playList_->CueNext(deck);
            break;
        case WM_PREVIOUS_TRACK:
            playList_->CuePrevious(deck);
            break;
        case WM_DECK_EMPTIED:
            loadAtEnd_[deck] = false;
            loadAfterStop_[deck] = false;
            handed_[deck].clear();
            playList_->ClearCued(deck);
            break;
        default:
            break;
    }
    return 0;
}

void CTevMixer::OnTrackEnded(int deck, LPARAM why) {
    CTevDeck2& d = *decks_[deck];
    if (d.source() == CTevDeck2::kSourceCd) {
        d.StartTrackEndBlink();  // the reader goes on into the next track by itself
        return;
    }
    if (d.source() != CTevDeck2::kSourceFile) {
        return;
    }
    if (!d.trackEndBlinking()) {
        // The deck went back to the sounding file (a seek) or loaded another: nothing handed
        // before is still coming.
        handed_[deck].clear();
    }
    if (why != kTrackEnded && !handed_[deck].empty()) {
        // The last file handed did not open, or cannot follow at this rate: the reader ends
        // here unless it is handed another.
        const std::string failed = handed_[deck].back();
        handed_[deck].pop_back();
        // Cued, so that the next line-up looks past it.
        playList_->CueLinedUpTrack(deck);
        if (why == kNextTrackOtherRate) {
            loadAtEnd_[deck] = true;  // loaded afresh once this one has played out
            return;
        }
        playList_->MarkUnreadable(failed);
    } else if (!handed_[deck].empty()) {
        // The reader finished the file it was handed before that sounded: line up after it.
        playList_->CueLinedUpTrack(deck);
    }
    loadAtEnd_[deck] = false;
    const std::string next = LineUpPlayable(deck);
    if (next.empty()) {
        return;  // the deck stops when this track has played out
    }
    handed_[deck].push_back(next);
    d.OpenFile(next);
    d.StartTrackEndBlink();
}

std::string CTevMixer::LineUpPlayable(int deck) {
    // Tracks known not to play (unmeasurable files, URLs, CD tracks) are passed over unopened.
    for (;;) {
        std::string next = playList_->LineUpNextTrack(deck);
        if (next.empty()) {
            return next;
        }
        const PlayListTrack* lined = nullptr;
        for (int row = 0; row < playList_->rowCount() && lined == nullptr; ++row) {
            const PlayListTrack& t = playList_->track(row);
            lined = t.deck == deck && t.linedUp ? &t : nullptr;
        }
        if (lined != nullptr && !lined->unreadable && lined->type == PlayListTrack::kTypeFile) {
            return next;
        }
        playList_->CueLinedUpTrack(deck);
    }
}

void CTevMixer::LoadCuedTrack(int deck, bool play) {
    loadAtEnd_[deck] = false;
    loadAfterStop_[deck] = false;
    handed_[deck].clear();
    const PlayListTrack* cued = playList_->CuedTrack(deck);
    if (cued == nullptr) {
        return;
    }
    // A copy: loading dispatches messages, and a handler may change the list meanwhile.
    const PlayListTrack track = *cued;
    const bool resume = play || decks_[deck]->IsPlaying();
    if (track.type == PlayListTrack::kTypeMedium) {
        // Only a track of the CD this deck holds.
        if (decks_[deck]->source() != CTevDeck2::kSourceCd ||
            decks_[deck]->GetFilePath() != track.path) {
            return;
        }
        decks_[deck]->LoadCdTrack(track.trackNumber);
    } else {
        // Loading empties the deck first: a track known not to play (a URL, a file that could
        // not be measured) or a file that is gone leaves the deck, perhaps playing, as it is.
        std::error_code error;
        const bool file = !track.unreadable && std::filesystem::is_regular_file(track.path, error);
        if (!file || !decks_[deck]->LoadFile(track.path)) {
            playList_->MarkUnreadable(track.path);
            const QString shown = CTevDeck2::ShownPath(track.path);
            const bool local = !track.path.empty() && track.path[0] == '/';
            tellUser_(local ? QStringLiteral("File Not Recognized: %1 %2")
                                  .arg(shown, QString::fromStdString(WhyNotPlayable(track.path)))
                            : QStringLiteral("File Not Recognized: %1").arg(shown));
            return;
        }
    }
    if (resume && decks_[deck] != nullptr && !decks_[deck]->IsPlaying()) {
        decks_[deck]->PlayPause(true);
    }
}

void CTevMixer::AddLoadedTrack(int deck, bool cd) {
    const CTevDeck2& d = *decks_[deck];
    if (cd) {
        AddCdTrack(deck, d.GetFilePath(), 1, true);
        return;
    }
    const int row = playList_->AddTrack(deck, d.GetFilePath(), d.GetLengthSeconds(),
                                        d.GetTitle().toUtf8().toStdString());
    playList_->CueTrack(row);
}

void CTevMixer::AddCdTrack(int deck, const std::string& drive, int track, bool cue) {
    const CdReader& cd = Cd();
    const int row = playList_->AddMediumTrack(deck, drive, track, cd.TrackLength(deck, track),
                                              cd.Title(deck, track));
    if (cue) {
        playList_->CueTrack(row);
    }
}

bool CTevMixer::IsCd(int deck) const {
    return decks_[deck]->source() == CTevDeck2::kSourceCd;
}

int CTevMixer::CurrentCdTrack(int deck) const {
    return decks_[deck]->GetCdTrack();
}

const std::string& CTevMixer::CurrentFile(int deck) const {
    return decks_[deck]->GetFilePath();
}

uint32_t CTevMixer::SampleRate(int deck) const {
    return decks_[deck]->SourceRate();
}

void CTevMixer::MarkReady(int deck) {
    decks_[deck]->MarkReady();
}

void CTevMixer::StopAtEnd(int deck) {
    decks_[deck]->StopAtEnd();
    // A next file at another rate, or one listed after the reader had found no next track (a
    // short file is read to its end as it loads): loaded now and played, after a short gap.
    const bool next = loadAtEnd_[deck] || (decks_[deck]->source() == CTevDeck2::kSourceFile &&
                                           playList_ != nullptr && !LineUpPlayable(deck).empty());
    if (next) {
        if (!loadAtEnd_[deck]) {
            playList_->CueLinedUpTrack(deck);
        }
        loadAtEnd_[deck] = false;
        loadAfterStop_[deck] = true;  // once the stop the deck posted is done
    }
}

void CTevMixer::ShowTrackChange(int deck, const ChunkSource& source) {
    decks_[deck]->ShowTrackChange(source);
    auto& handed = handed_[deck];
    if (!handed.empty() && source.path == handed.front()) {
        handed.pop_front();
        if (handed.empty()) {
            playList_->CueLinedUpTrack(deck);  // the file sounding is the deck's cued track
        }
    }
}

void CTevMixer::SelectCdTrack(int deck, int track) {
    decks_[deck]->SelectCdTrack(track);
    playList_->CueTrackNumber(deck, track);
}

void CTevMixer::StepRotation(int deck, int direction) {
    decks_[deck]->StepRotation(direction);
}

void CTevMixer::UpdateElapsed(int deck, uint32_t bytesAhead) {
    decks_[deck]->UpdateElapsed(bytesAhead);
}

void CTevMixer::UpdatePositionFromElapsed(int deck) {
    decks_[deck]->UpdatePositionFromElapsed();
}

std::string CTevMixer::EffectName(int deck) const {
    return effects_[deck]->GetEffectName().toStdString();
}

void CTevMixer::ShowLevel(int deck) {
    PostAppMessage(hMainWnd, WM_SHOW_LEVEL_METER, WPARAM(deck));
}

QDialog* CTevMixer::playListPanel() const {
    return playList_.get();
}

void CTevMixer::SetMessageSink(const std::function<void(const QString&)>& sink) {
    tellUser_ = sink;
    for (auto& deck : decks_) {
        deck->SetMessageSink(sink);
    }
    playList_->SetMessageSink(sink);
}

void CTevMixer::ShowAnalysis(int) {
    analyzer_->ShowAnalysis();
}

// ---- Window ----

void CTevMixer::DestroyPanels() {
    // The program is closing: the recording's file is finished first.
    recorder_.Stop();
    keys_.reset();
    for (int d = 0; d < kDeckCount; ++d) {
        effects_[d].reset();
        decks_[d].reset();
        equalizers_[d].reset();
    }
    analyzer_.reset();
    playList_.reset();
}

void CTevMixer::closeEvent(QCloseEvent* event) {
    if (!confirmExit_()) {
        event->ignore();
        return;
    }
    PostAppMessage(hMainWnd, WM_CLOSE);
    event->accept();
}

void CTevMixer::ShowOtherPanels(bool show) {
    for (QDialog* panel :
         {static_cast<QDialog*>(analyzer_.get()), static_cast<QDialog*>(playList_.get())}) {
        panel->setVisible(show);
    }
    for (int d = 0; d < kDeckCount; ++d) {
        for (QDialog* panel :
             {static_cast<QDialog*>(decks_[d].get()), static_cast<QDialog*>(effects_[d].get()),
              static_cast<QDialog*>(equalizers_[d].get())}) {
            panel->setVisible(show);
        }
    }
}

void CTevMixer::ShowStatus(double cpuPercent, uint64_t dropouts) {
    constexpr double kHighLoad = 80.0;
    const int load = static_cast<int>(cpuPercent);
    statusWarns_ = cpuPercent >= kHighLoad || dropouts > shownDropouts_;
    shownDropouts_ = dropouts;
    const QString dropoutsText =
        dropouts == 1 ? QStringLiteral("1 dropout") : QStringLiteral("%1 dropouts").arg(dropouts);
    statusLine_->setText(QStringLiteral("CPU %1 %\n%2").arg(load).arg(dropoutsText));
    QPalette palette = this->palette();
    if (statusWarns_) {
        palette.setColor(QPalette::WindowText, QColor(0xd0, 0x20, 0x20));
    }
    statusLine_->setPalette(palette);
}

void CTevMixer::ToggleRecording() {
    if (recorder_.IsRecording()) {
        recorder_.Stop();
        ShowRecording();
        return;
    }
    std::string folder = devices_->recordingFolder();
    if (folder.empty()) {
        folder = DefaultRecordingFolder();
    }
    const std::vector<RecordingFormat> formats = AvailableRecordingFormats();
    if (formats.empty()) {
        tellUser_(
            QStringLiteral("Nothing to record with: this computer's FFmpeg has none of the "
                           "FLAC, WAV, MP3 and Ogg Vorbis encoders."));
        return;
    }
    const auto chosen = std::find_if(formats.begin(), formats.end(), [this](RecordingFormat f) {
        return devices_->recordingFormat() == RecordingExtension(f);
    });
    toldGaps_ = 0;
    toldError_.clear();
    toldNote_.clear();
    std::string error;
    if (!recorder_.Start(main_.HasDevice() ? main_.deckDevice()->device() : nullptr, folder,
                         chosen != formats.end() ? *chosen : formats.front(), error)) {
        tellUser_(QString::fromStdString(error));
    }
    ShowRecording();
}

void CTevMixer::ShowRecording() {
    const RecordingStatus status = recorder_.Status();
    recordButton_->SetOnLook(status.recording);
    const QString file = QFile::decodeName(status.path.c_str());
    // What stopped the recording or changed its file is told once, as it happens.
    if (!status.error.empty() && status.error != toldError_) {
        toldError_ = status.error;
        tellUser_(QString::fromStdString(status.error));
    }
    if (!status.note.empty() && status.note != toldNote_) {
        toldNote_ = status.note;
        tellUser_(QString::fromStdString(status.note));
    }
    if (status.recording && status.gaps > toldGaps_) {
        toldGaps_ = status.gaps;
        tellUser_(QStringLiteral("The recording has a gap: the disk did not keep up, or the main "
                                 "output changed its device. The sound was not affected. Each gap "
                                 "is listed in %1.gaps.txt.")
                      .arg(file));
    }
    if (!status.recording || status.sampleRate == 0) {
        optionsBox_->setTitle(QStringLiteral("Options"));
        recordButton_->setToolTip(QStringLiteral(
            "Record: what the main output plays, into a file (folder and format in Options)"));
        return;
    }
    const uint64_t seconds = status.framesWritten / status.sampleRate;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(std::filesystem::path(status.path), ec);
    const double megabytes = ec ? 0.0 : static_cast<double>(bytes) / 1e6;
    optionsBox_->setTitle(QStringLiteral("Options     \u25CF Recording %1:%2:%3, %4 MB")
                              .arg(seconds / 3600)
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                              .arg(megabytes, 0, 'f', 1));
    recordButton_->setToolTip(QStringLiteral("Recording into %1: click to stop").arg(file));
}

void CTevMixer::ShowAboutBox() {
    if (aboutBox_ != nullptr) {
        aboutBox_->raise();
        aboutBox_->activateWindow();
        return;
    }
    aboutBox_ = new CTevAboutDlg(this);
    aboutBox_->setAttribute(Qt::WA_DeleteOnClose);
    aboutBox_->setWindowModality(Qt::ApplicationModal);
    aboutBox_->open();
}

void CTevMixer::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("&About TevAudio..."), this, &CTevMixer::ShowAboutBox);
    menu->popup(event->globalPos());
}

void CTevMixer::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || panelsReady == 0 ||
        equalizers_[kDeckCount - 1] == nullptr) {
        return;
    }
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized()) {
        setWindowTitle(QStringLiteral("Tev Audio"));
        ShowOtherPanels(false);
    } else if (isMaximized()) {
        PostAppMessage(hMainWnd, WM_LAYOUT_PANELS);
    } else if (change->oldState() & Qt::WindowMinimized) {
        setWindowTitle(QStringLiteral("Mixer"));
        ShowOtherPanels(true);
    }
}

void CTevMixer::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (equalizers_[kDeckCount - 1] != nullptr) {
        DragPanels();
    }
}

void CTevMixer::DragPanels() {
    const QRect m = frameGeometry();
    const QSize deckSize = decks_[0]->frameGeometry().size();
    const QSize eqSize = equalizers_[0]->frameGeometry().size();
    const QSize fxSize = effects_[0]->frameGeometry().size();
    const int left = m.x();
    const int right = m.x() + m.width();
    const int bottom = m.y() + m.height();
    decks_[0]->move(left - deckSize.width(), m.y());
    decks_[1]->move(right, m.y());
    equalizers_[0]->move(left - deckSize.width(), bottom);
    equalizers_[1]->move(right + deckSize.width() - eqSize.width(), bottom);
    // Each deck's effects stay under their own deck, between its equalizer and the centre.
    effects_[0]->move(left - deckSize.width() + eqSize.width(), bottom);
    effects_[1]->move(right + deckSize.width() - eqSize.width() - fxSize.width(), bottom);
}

}  // namespace tev
