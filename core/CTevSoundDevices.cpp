#include "core/CTevSoundDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/CTevColorSquare.h"
#include "core/EngineState.h"
#include "core/SettingsStore.h"
#include "platform/SoundSystem.h"

namespace tev {
namespace {

const char* const kComponentNames[3] = {"Red:", "Green:", "Blue:"};

}  // namespace

CTevSoundDevices::CTevSoundDevices(SettingsStore& settings, DeviceSource devices, QWidget* parent)
    : QDialog(parent), settings_(settings), devices_(std::move(devices)) {
    if (!devices_) {
        devices_ = [] { return SoundSystem::Instance().Devices(); };
    }
    setWindowTitle(QStringLiteral("Tev Audio Options"));
    auto* layout = new QVBoxLayout(this);
    const char* const captions[2] = {"Main Sound Device", "Monitor Sound Device"};
    for (const auto which : {SoundDeviceList::kMain, SoundDeviceList::kMonitor}) {
        auto* group = new QGroupBox(QString::fromLatin1(captions[which]), this);
        auto* row = new QHBoxLayout(group);
        lists_[which] = new QComboBox(group);
        lists_[which]->setMinimumContentsLength(40);
        split_[which] = new QPushButton(QStringLiteral("Split"), group);
        join_[which] = new QPushButton(QStringLiteral("Join"), group);
        row->addWidget(lists_[which], 1);
        row->addWidget(split_[which]);
        row->addWidget(join_[which]);
        layout->addWidget(group);
        connect(lists_[which], &QComboBox::currentIndexChanged, this, [this, which](int index) {
            if (!refilling_ && index >= 0) {
                model_.Select(which, index);
                Refill();
            }
        });
        connect(split_[which], &QPushButton::clicked, this, [this, which] {
            model_.Split(which);
            Refill();
        });
        connect(join_[which], &QPushButton::clicked, this, [this, which] {
            model_.Join(which);
            Refill();
        });
    }
    auto* latencyGroup = new QGroupBox(QStringLiteral("Latency"), this);
    auto* latencyRow = new QHBoxLayout(latencyGroup);
    latency_ = new QComboBox(latencyGroup);
    for (const int ms : SoundSystem::kLatencyChoicesMs) {
        latency_->addItem(ms == SoundSystem::kDefaultLatencyMs
                              ? QStringLiteral("%1 ms (recommended)").arg(ms)
                              : QStringLiteral("%1 ms").arg(ms),
                          ms);
    }
    latencyRow->addWidget(latency_);
    latencyRow->addWidget(
        new QLabel(QStringLiteral("Shorter answers your hands sooner; longer keeps playing on a "
                                  "busy computer."),
                   latencyGroup),
        1);
    layout->addWidget(latencyGroup);

    auto* recordingGroup = new QGroupBox(QStringLiteral("Recording"), this);
    auto* recordingRow = new QHBoxLayout(recordingGroup);
    folderField_ = new QLineEdit(recordingGroup);
    folderField_->setToolTip(QStringLiteral("The folder the mix is recorded into"));
    folderButton_ = new QPushButton(QStringLiteral("Browse..."), recordingGroup);
    formatList_ = new QComboBox(recordingGroup);
    recordingRow->addWidget(new QLabel(QStringLiteral("Folder:"), recordingGroup));
    recordingRow->addWidget(folderField_, 1);
    recordingRow->addWidget(folderButton_);
    recordingRow->addWidget(new QLabel(QStringLiteral("Format:"), recordingGroup));
    recordingRow->addWidget(formatList_);
    layout->addWidget(recordingGroup);
    SetRecordingFormats({{"flac", QStringLiteral("FLAC (lossless)")},
                         {"wav", QStringLiteral("WAV")},
                         {"mp3", QStringLiteral("MP3")},
                         {"ogg", QStringLiteral("Ogg Vorbis")}});
    chooseFolder_ = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Record Into"), start);
    };
    connect(folderButton_, &QPushButton::clicked, this, [this] {
        const QString start =
            folderField_->text().isEmpty() ? folderField_->placeholderText() : folderField_->text();
        const QString folder = chooseFolder_(start);
        if (!folder.isEmpty()) {
            folderField_->setText(folder);
        }
    });

    auto* colors = new QHBoxLayout;
    const char* const deckCaptions[2] = {"Deck A Color", "Deck B Color"};
    for (int deck = 0; deck < kDeckCount; ++deck) {
        auto* group = new QGroupBox(QString::fromLatin1(deckCaptions[deck]), this);
        auto* grid = new QGridLayout(group);
        for (int c = 0; c < 3; ++c) {
            auto* slider = new QSlider(Qt::Horizontal, group);
            slider->setRange(0, 255);
            auto* value = new QLabel(QStringLiteral("0"), group);
            value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("255")));
            grid->addWidget(new QLabel(QString::fromLatin1(kComponentNames[c]), group), c, 0);
            grid->addWidget(slider, c, 1);
            grid->addWidget(value, c, 2);
            sliders_[deck][c] = slider;
            values_[deck][c] = value;
            connect(slider, &QSlider::valueChanged, this, [this, deck] { ShowColor(deck); });
        }
        squares_[deck] = new CTevColorSquare(group);
        grid->addWidget(squares_[deck], 0, 3, 3, 1);
        colors->addWidget(group);
    }
    layout->addLayout(colors);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTevSoundDevices::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTevSoundDevices::reject);
    layout->addWidget(buttons);
}

void CTevSoundDevices::SetRecordingFormats(const std::vector<RecordingFormat>& formats) {
    formatList_->clear();
    for (const RecordingFormat& format : formats) {
        formatList_->addItem(format.label, QString::fromStdString(format.key));
    }
}

void CTevSoundDevices::SetDefaultRecordingFolder(const QString& folder) {
    folderField_->setPlaceholderText(folder);
}

void CTevSoundDevices::Refill() {
    refilling_ = true;
    for (const auto which : {SoundDeviceList::kMain, SoundDeviceList::kMonitor}) {
        QComboBox* box = lists_[which];
        box->clear();
        for (const SoundDeviceList::Entry& entry : model_.entries(which)) {
            box->addItem(QString::fromStdString(entry.text));
        }
        box->setCurrentIndex(model_.selected(which));
        split_[which]->setEnabled(model_.CanSplit(which));
        join_[which]->setEnabled(model_.CanJoin(which));
    }
    refilling_ = false;
}

uint32_t CTevSoundDevices::ColorOf(int deck) const {
    const auto& s = sliders_[deck];
    return (static_cast<uint32_t>(s[2]->value()) << 16) |
           (static_cast<uint32_t>(s[1]->value()) << 8) | static_cast<uint32_t>(s[0]->value());
}

void CTevSoundDevices::ShowColor(int deck) {
    for (int c = 0; c < 3; ++c) {
        values_[deck][c]->setText(QString::number(sliders_[deck][c]->value()));
    }
    squares_[deck]->SetColor(ColorOf(deck));
}

bool CTevSoundDevices::OnInitDialog() {
    model_.Build(devices_());
    model_.Restore(settings_.LoadSoundDeviceMain(), settings_.LoadSoundDeviceHeadphones());
    Refill();
    latency_->setCurrentIndex(latency_->findData(settings_.LoadOutputLatencyMs()));
    folderField_->setText(QString::fromStdString(settings_.LoadRecordingFolder()));
    // A stored format this machine cannot encode takes the first offered.
    formatList_->setCurrentIndex(std::max(
        0, formatList_->findData(QString::fromStdString(settings_.LoadRecordingFormat()))));
    const uint32_t colors[2] = {colorDeckA, colorDeckB};
    for (int deck = 0; deck < kDeckCount; ++deck) {
        for (int c = 0; c < 3; ++c) {
            sliders_[deck][c]->setValue(static_cast<int>((colors[deck] >> (8 * c)) & 0xFF));
        }
        ShowColor(deck);
    }
    if (firstRun_) {
        firstRun_ = false;
        OnOK();
        return false;
    }
    return true;
}

void CTevSoundDevices::OnOK() {
    colorDeckA = ColorOf(0);
    colorDeckB = ColorOf(1);
    settings_.SaveColorDeck(0, colorDeckA);
    settings_.SaveColorDeck(1, colorDeckB);
    for (const auto which : {SoundDeviceList::kMain, SoundDeviceList::kMonitor}) {
        chosen_[which] = model_.selectedEntry(which).device;
        chosenText_[which] = model_.selectedEntry(which).text;
    }
    settings_.SaveSoundDeviceMain(chosenText_[SoundDeviceList::kMain]);
    settings_.SaveSoundDeviceHeadphones(chosenText_[SoundDeviceList::kMonitor]);
    latencyMs_ = latency_->currentData().toInt();
    settings_.SaveOutputLatencyMs(latencyMs_);
    recordingFolder_ = folderField_->text().trimmed().toStdString();
    recordingFormat_ = formatList_->currentData().toString().toStdString();
    settings_.SaveRecordingFolder(recordingFolder_);
    settings_.SaveRecordingFormat(recordingFormat_);
    done(QDialog::Accepted);
}

bool CTevSoundDevices::Run() {
    if (!OnInitDialog()) {
        return true;
    }
    return exec() == QDialog::Accepted;
}

}  // namespace tev
