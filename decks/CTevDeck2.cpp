#include "decks/CTevDeck2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "controls/CTevButtonCtrl.h"
#include "controls/ImageFolder.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "decks/CTevCircularChartGraph.h"
#include "decks/CTevSliderCtrl.h"
#include "decks/CTevTrackNameIndicator.h"
#include "input/CdReader.h"
#include "input/FileThreads.h"
#include "output/CTevNeedle.h"

namespace tev {
namespace {

constexpr int kChooserNothing = 0;
constexpr int kChooserBrowse = 1;
// Item data of the entry that names the loaded file.
constexpr uint32_t kLoadedFileEntry = 0xFFFFFFFFU;
constexpr int kTempoUpDownStep = 10;
constexpr int kCueBlinkTicks = 10;

QString TwoDigits(long long value) {
    return value < 10 ? QStringLiteral("0%1").arg(value) : QString::number(value);
}

}  // namespace

CTevDeck2::CTevDeck2(QWidget* parent) : QDialog(parent) {
    chooseFiles_ = [this] {
        return QFileDialog::getOpenFileNames(
            this, QString(), QString(),
            QStringLiteral("Files (*.mp3 *.ogg *.wav *.wma *.flac *.m4a *.aac *.opus *.oga *.aif "
                           "*.aiff *.cue);;All Files (*)"));
    };
    tellUser_ = [this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); };
    transport_.SetDisplay(this);

    auto* grid = new QGridLayout(this);

    auto* chooseBox = new QGroupBox(QStringLiteral("Choose Track"), this);
    chooser_ = new QComboBox(chooseBox);
    chooser_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chooser_->setMinimumContentsLength(24);
    (new QVBoxLayout(chooseBox))->addWidget(chooser_);
    grid->addWidget(chooseBox, 0, 0, 1, 2);

    auto* nowBox = new QGroupBox(QStringLiteral("Now Playing"), this);
    nowPlaying_ = new CTevTrackNameIndicator(nowBox);
    const QFontMetrics nameMetrics(nowPlaying_->font());
    nowPlaying_->setMinimumSize(nameMetrics.horizontalAdvance(QString(
                                    CTevTrackNameIndicator::kShownCharacters, QLatin1Char('M'))) +
                                    4,
                                nameMetrics.height() + 4);
    (new QVBoxLayout(nowBox))->addWidget(nowPlaying_);
    grid->addWidget(nowBox, 1, 0, 1, 2);

    auto* disc = new QHBoxLayout();
    chart_ = new CTevCircularChartGraph(this);
    chart_->setFixedSize(150, 150);
    needle_ = new CTevNeedle(this);
    needle_->setFixedSize(10, 14);
    disc->addWidget(chart_);
    disc->addWidget(needle_, 0, Qt::AlignVCenter);
    grid->addLayout(disc, 2, 0);

    auto* times = new QVBoxLayout();
    auto* timeBox = new QGroupBox(QStringLiteral("Time"), this);
    timeLabel_ = new QLabel(timeText_, timeBox);
    auto* lengthBox = new QGroupBox(QStringLiteral("Length"), this);
    lengthLabel_ = new QLabel(lengthText_, lengthBox);
    for (QLabel* label : {timeLabel_, lengthLabel_}) {
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(true);
        label->setFont(font);
        label->setAlignment(Qt::AlignCenter);
    }
    (new QVBoxLayout(timeBox))->addWidget(timeLabel_);
    (new QVBoxLayout(lengthBox))->addWidget(lengthLabel_);
    cue_ = new QCheckBox(QStringLiteral("Cue"), this);
    times->addWidget(timeBox);
    times->addWidget(lengthBox);
    times->addWidget(cue_);
    times->addStretch();
    grid->addLayout(times, 2, 1);

    auto* transport = new QHBoxLayout();
    const auto makeButton = [this, transport](CTevButtonCtrl*& button, CTevButtonCtrl::Kind kind,
                                              int width) {
        button = new CTevButtonCtrl(this);
        button->SetKind(kind);
        button->setFixedSize(width, 34);
        button->setFocusPolicy(Qt::NoFocus);
        transport->addWidget(button);
    };
    makeButton(rev_, CTevButtonCtrl::Kind::Reverse, 44);
    makeButton(rwnd_, CTevButtonCtrl::Kind::Rewind, 44);
    makeButton(play_, CTevButtonCtrl::Kind::PlayPause, 60);
    makeButton(ffwd_, CTevButtonCtrl::Kind::FastForward, 44);
    transport->addSpacing(8);
    makeButton(prev_, CTevButtonCtrl::Kind::PreviousTrack, 44);
    makeButton(next_, CTevButtonCtrl::Kind::NextTrack, 44);
    transport->addStretch();
    grid->addLayout(transport, 3, 0, 1, 2);
    for (CTevButtonCtrl* button : {play_, ffwd_, rwnd_, rev_}) {
        button->setEnabled(false);  // until a track is ready
    }

    auto* positionBox = new QGroupBox(QStringLiteral("Track Position"), this);
    positionSlider_ = new CTevSliderCtrl(Qt::Horizontal, positionBox);
    positionSlider_->setFocusPolicy(Qt::NoFocus);
    (new QVBoxLayout(positionBox))->addWidget(positionSlider_);
    grid->addWidget(positionBox, 4, 0, 1, 2);

    auto* tempoBox = new QGroupBox(QStringLiteral("Tempo"), this);
    auto* tempoLayout = new QGridLayout(tempoBox);
    tempoSlider_ = new QSlider(Qt::Vertical, tempoBox);
    // The top of the slider is the fastest tempo, as on a turntable's pitch fader read upside
    // down: its minimum is drawn at the top.
    tempoSlider_->setInvertedAppearance(true);
    tempoSlider_->setInvertedControls(true);
    tempoSlider_->setFocusPolicy(Qt::NoFocus);
    tempoSlider_->setTickPosition(QSlider::TicksBothSides);
    tempoSlider_->setTickInterval(250);
    tempoUp_ = new QToolButton(tempoBox);
    tempoUp_->setArrowType(Qt::UpArrow);
    tempoDown_ = new QToolButton(tempoBox);
    tempoDown_->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {tempoUp_, tempoDown_}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    tempoReset_ = new QPushButton(QStringLiteral("Reset"), tempoBox);
    tempoReset_->setAutoDefault(false);
    tempoReset_->setFocusPolicy(Qt::NoFocus);
    tempoLabel_ = new QLabel(tempoText_, tempoBox);
    tempoLabel_->setAlignment(Qt::AlignCenter);
    tempoLayout->addWidget(tempoSlider_, 0, 0, 3, 1, Qt::AlignHCenter);
    tempoLayout->addWidget(tempoUp_, 0, 1);
    tempoLayout->addWidget(tempoDown_, 1, 1);
    tempoLayout->setRowStretch(2, 1);
    tempoLayout->addWidget(tempoReset_, 3, 0, 1, 2);
    tempoLayout->addWidget(tempoLabel_, 4, 0, 1, 2);
    tempoSlider_->setMinimumHeight(200);
    grid->addWidget(tempoBox, 0, 2, 5, 1);

    for (int id = 0; id < kTimerCount; ++id) {
        connect(&timers_[id], &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    connect(chooser_, &QComboBox::activated, this, [this] { OnChooserSelection(); });
    // An entry that names a file shows the file's name; the closed chooser tells its full path.
    connect(chooser_, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QString path = chooser_->itemData(index, Qt::ToolTipRole).toString();
        chooser_->setToolTip(path.isEmpty() ? QStringLiteral("select file or CD") : path);
    });
    connect(play_, &QPushButton::clicked, this, [this] { PlayPause(false); });
    connect(next_, &QPushButton::clicked, this,
            [this] { SendAppMessage(hMixerWnd, WM_NEXT_TRACK, WPARAM(deck_)); });
    connect(prev_, &QPushButton::clicked, this,
            [this] { SendAppMessage(hMixerWnd, WM_PREVIOUS_TRACK, WPARAM(deck_)); });
    connect(cue_, &QCheckBox::clicked, this, &CTevDeck2::OnCueClicked);
    connect(tempoSlider_, &QSlider::valueChanged, this, &CTevDeck2::OnTempoSliderMoved);
    // The up arrow makes the deck faster, like the top of the slider.
    connect(tempoUp_, &QToolButton::clicked, this, [this] { OnTempoUpDown(-1); });
    connect(tempoDown_, &QToolButton::clicked, this, [this] { OnTempoUpDown(1); });
    connect(tempoReset_, &QPushButton::clicked, this, &CTevDeck2::OnTempoReset);
    connect(positionSlider_, &QSlider::valueChanged, this, &CTevDeck2::OnPositionSliderMoved);
    connect(positionSlider_, &QSlider::sliderReleased, this, &CTevDeck2::OnPositionSliderReleased);
}

CTevDeck2::~CTevDeck2() {
    hDeckWnd[deck_].Detach(this);
    transport_.SetDisplay(nullptr);  // its controls are going: nothing to show
    if (initialised_) {
        transport_.Unload(false);
    }
}

void CTevDeck2::SetDeck(int deck) {
    deck_ = deck;
    transport_.SetDeck(deck);
    setWindowTitle(deck == 0 ? QStringLiteral("Deck A") : QStringLiteral("Deck B"));
    setWindowIcon(DeckIcon());
    FillChooser();
    OnChooserSelection();

    ffwd_->SetDeck(deck);
    rev_->SetDeck(deck);
    rwnd_->SetDeck(deck);

    tempoSlider_->setRange(-kTempoRange, kTempoRange);
    PostAppMessage(hMainWnd, WM_SYNC_TEMPO_SLIDER, WPARAM(deck));

    positionSlider_->SetDeck(deck);
    positionSlider_->setRange(0, kPositionRange);
    chart_->SetDeck(deck);

    chooser_->setToolTip(QStringLiteral("select file or CD"));
    play_->setToolTip(deck == 0 ? QStringLiteral("'W'") : QStringLiteral("'P'"));
    rev_->setToolTip(deck == 0 ? QStringLiteral("'A'") : QStringLiteral("'L'"));
    cue_->setToolTip(deck == 0 ? QStringLiteral("'Q'") : QStringLiteral("'O'"));
    if (deck == 0) {
        ffwd_->setToolTip(QStringLiteral("'F'"));
        rwnd_->setToolTip(QStringLiteral("'R'"));
    }
    tempoSlider_->setToolTip(deck == 0 ? QStringLiteral("'R', 'F'") : QStringLiteral("'K', 'J'"));
    positionSlider_->setToolTip(deck == 0 ? QStringLiteral("'1'-'5'") : QStringLiteral("'6'-'0'"));
    initialised_ = true;
}

// ---- Formatting ----

QString CTevDeck2::FormatTime(double seconds) {
    // Before the first refresh the buffered audio can exceed what the reader has decoded.
    const long long s = std::max(0LL, static_cast<long long>(seconds));
    return TwoDigits(s / 3600) + QLatin1Char(':') + TwoDigits((s / 60) % 60) + QLatin1Char(':') +
           TwoDigits(s % 60);
}

QString CTevDeck2::TempoText(double tempo) {
    double d = tempo >= 0 ? tempo + 0.01f : tempo - 0.01f;
    d = std::trunc(d / 0.1f) * 0.1f;
    d = std::clamp(d, -50.0, 50.0);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", d);
    return QString::fromLatin1(text);
}

QString CTevDeck2::NowPlayingText() const {
    return CTevTrackNameIndicator::NowPlayingText(transport_.title(),
                                                  ShownPath(transport_.filePath()));
}

void CTevDeck2::ShowTime(double seconds) {
    timeText_ = FormatTime(seconds);
    PostAppMessage(hMainWnd, WM_SHOW_ELAPSED, WPARAM(deck_));
}

void CTevDeck2::ShowLength() {
    lengthText_ = FormatTime(transport_.lengthSeconds());
    PostAppMessage(hMainWnd, WM_SHOW_LENGTH, WPARAM(deck_));
}

// ---- The chooser ----

void CTevDeck2::FillChooser() {
    chooser_->clear();
    chooser_->addItem(QStringLiteral("Nothing Loaded"), 0U);
    chooser_->addItem(QStringLiteral("Browse..."), 1U);
    CdReader& cd = Cd();
    for (int i = 0; i < cd.DriveCount(); ++i) {
        const std::string name = cd.DriveNameAt(i);
        if (name != "Image Recorder") {
            const QString shown = ShownPath(name);
            if (IsCdImage(name)) {
                AddFileEntry(shown, static_cast<uint32_t>(i));
            } else {
                chooser_->addItem(shown, static_cast<uint32_t>(i));
            }
        }
    }
    chooser_->setCurrentIndex(kChooserNothing);
}

void CTevDeck2::OnChooserSelection() {
    const int index = chooser_->currentIndex();
    if (index == kChooserNothing) {
        transport_.Unload();
        comboText_ = chooser_->itemText(index);
        FillChooser();
        SendAppMessage(hMixerWnd, WM_DECK_EMPTIED, WPARAM(deck_));
    } else if (index == kChooserBrowse) {
        Browse();
    } else if (chooser_->itemData(index).toUInt() != kLoadedFileEntry) {
        const QString drive = chooser_->itemText(index);
        if (!LoadCdDrive(static_cast<int>(chooser_->itemData(index).toUInt()))) {
            TellCdProblem(drive);
        }
    }
}

void CTevDeck2::ReportCdProblem(const std::string& driveName) {
    TellCdProblem(ShownPath(driveName));
}

void CTevDeck2::TellCdProblem(const QString& drive) {
    const std::string& why = Cd().LastError(deck_);
    if (why == CdReader::kNoAnswer) {
        tellUser_(QStringLiteral("The CD drive does not answer: %1").arg(drive));
    } else if (why.empty()) {
        tellUser_(QStringLiteral("No audio CD could be read from %1").arg(drive));
    } else {
        tellUser_(QStringLiteral("No audio CD could be read from %1: %2")
                      .arg(drive, QString::fromStdString(why)));
    }
}

void CTevDeck2::Browse() {
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_OPENING, 0);
    const QStringList paths = chooseFiles_();
    if (!paths.isEmpty()) {
        const std::string first = PathBytes(paths.front());
        if (IsCdImage(first)) {
            if (!LoadCdImage(first)) {
                TellCdProblem(paths.front());
            }
        } else if (LoadFile(first)) {
            SendAppMessage(hMixerWnd, WM_TRACK_LOADED, WPARAM(deck_), 0);
        } else {
            tellUser_(QStringLiteral("File Not Recognized: %1 %2")
                          .arg(paths.front(), QString::fromStdString(WhyNotPlayable(first))));
            FillChooser();
        }
        for (qsizetype i = 1; i < paths.size(); ++i) {
            pendingEntry_ = PathBytes(paths[i]);
            SendAppMessage(hMixerWnd, WM_APPEND_PENDING_ENTRY, WPARAM(deck_), 0);
        }
    } else {
        const int previous = chooser_->findText(comboText_);
        chooser_->setCurrentIndex(previous >= 0 ? previous : kChooserNothing);
    }
    activateWindow();
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_CLOSED, 0);
}

// ---- Loading ----

bool CTevDeck2::LoadFile(const std::string& path) {
    if (!transport_.LoadFile(path)) {
        if (transport_.source() == DeckTransport::kSourceNone) {
            chooser_->setCurrentIndex(kChooserNothing);
        }
        return false;
    }
    ShowLoadedFile(path);
    StartTimer(kTimerShowElapsed, 3000);
    return true;
}

bool CTevDeck2::IsCdImage(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string suffix = path.substr(path.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == ".cue";
}

std::string CTevDeck2::PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString CTevDeck2::ShownPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool CTevDeck2::LoadCdImage(const std::string& cuePath) {
    return LoadCdDrive(Cd().AddImage(cuePath));
}

bool CTevDeck2::LoadCdDrive(int drive) {
    FillChooser();
    // The drives follow the two fixed entries, whose item data may equal a drive's index.
    int entry = -1;
    for (int i = kChooserBrowse + 1; i < chooser_->count() && entry < 0; ++i) {
        entry = chooser_->itemData(i).toUInt() == static_cast<uint32_t>(drive) ? i : -1;
    }
    if (entry < 0) {
        transport_.Unload();
        return false;
    }
    if (!transport_.LoadCdDrive(drive)) {
        return false;
    }
    chooser_->setCurrentIndex(entry);
    comboText_ = chooser_->currentText();
    StartTimer(kTimerDiscLength, 2000);
    SendAppMessage(hMixerWnd, WM_TRACK_LOADED, WPARAM(deck_), 1);
    for (int track = 2; track <= transport_.cdTrackCount(); ++track) {
        pendingEntry_ = transport_.filePath();
        SendAppMessage(hMixerWnd, WM_APPEND_PENDING_ENTRY, WPARAM(deck_), LPARAM(track));
    }
    return true;
}

void CTevDeck2::ShowTrackChange(const ChunkSource& source) {
    transport_.ShowTrackChange(source);
    ShowLoadedFile(source.path);
}

void CTevDeck2::ShowLoadedFile(const std::string& path) {
    if (path.empty()) {
        return;
    }
    for (int i = chooser_->count() - 1; i >= 0; --i) {
        if (chooser_->itemData(i).toUInt() == kLoadedFileEntry) {
            chooser_->removeItem(i);
        }
    }
    AddFileEntry(ShownPath(path), kLoadedFileEntry);
    chooser_->setCurrentIndex(chooser_->count() - 1);
    comboText_ = chooser_->currentText();
}

void CTevDeck2::AddFileEntry(const QString& path, uint32_t data) {
    // A folder path says little in a chooser two dozen characters wide: the file's name does,
    // and a long one keeps its start and its end.
    const int width = chooser_->fontMetrics().horizontalAdvance(QLatin1Char('x')) *
                      chooser_->minimumContentsLength();
    chooser_->addItem(
        chooser_->fontMetrics().elidedText(QFileInfo(path).fileName(), Qt::ElideMiddle, width),
        data);
    chooser_->setItemData(chooser_->count() - 1, path, Qt::ToolTipRole);
}

// ---- Display from play ----

void CTevDeck2::StepRotation(int direction) {
    if (direction > 0) {
        rotationIndex_ = (rotationIndex_ + 1) % CTevCircularChartGraph::kRotationSteps;
    } else {
        rotationIndex_ =
            rotationIndex_ == 0 ? CTevCircularChartGraph::kRotationSteps - 1 : rotationIndex_ - 1;
    }
    PostAppMessage(hMainWnd, WM_REDRAW_CHART, WPARAM(deck_), LPARAM(rotationIndex_));
}

// ---- Tempo ----

void CTevDeck2::SetTempo(double tempo) {
    transport_.SetTempo(tempo);
    tempoText_ = TempoText(tempo);
    PostAppMessage(hMainWnd, WM_SHOW_TEMPO_TEXT, WPARAM(deck_));
}

void CTevDeck2::OnTempoSliderMoved(int value) {
    SetTempo(-value * kMaxTempo / kTempoRange);
}

void CTevDeck2::NudgeTempo(double step) {
    tempoSlider_->setValue(
        static_cast<int>(std::lround(-(transport_.tempo() + step) * kTempoRange / kMaxTempo)));
}

void CTevDeck2::OnTempoUpDown(int delta) {
    tempoSlider_->setValue(tempoSlider_->value() +
                           (delta >= 1 ? kTempoUpDownStep : -kTempoUpDownStep));
}

void CTevDeck2::OnTempoReset() {
    transport_.SetTempo(0.0);
    PostAppMessage(hMainWnd, WM_SYNC_TEMPO_SLIDER, WPARAM(deck_));
}

// ---- Cue, winding, position slider ----

void CTevDeck2::ToggleCue() {
    cue_->setChecked(!transport_.cueEngaged());
    OnCueClicked(cue_->isChecked());
}

void CTevDeck2::OnCueClicked(bool checked) {
    if (checked) {
        if (transport_.EngageCue()) {
            ShowTime(transport_.cuePointSeconds());
            StartTimer(kTimerCueBlink, 300);
        } else {
            PostAppMessage(hMainWnd, WM_SHOW_CUE_STATE, WPARAM(deck_));  // clears the box
        }
        return;
    }
    transport_.ReleaseCue();
    StopTimer(kTimerCueBlink);
    blinkCount_ = 0;
    PostAppMessage(hMainWnd, WM_BLINK_ELAPSED, WPARAM(deck_));
}

void CTevDeck2::StartWinding(int timer) {
    transport_.BeginPositionChange();
    StartTimer(timer, 200);
}

void CTevDeck2::StopWinding(int timer) {
    if (!IsTimerRunning(timer)) {
        return;  // a release without its press
    }
    StopTimer(timer);
    transport_.ApplyPosition();
}

void CTevDeck2::OnPositionSliderMoved(int value) {
    if (!transport_.positionChanging()) {
        return;
    }
    transport_.SetPendingPosition(static_cast<double>(value) / kPositionRange);
    ShowTime(transport_.position() * transport_.lengthSeconds());
}

void CTevDeck2::OnPositionSliderReleased() {
    transport_.SetPendingPosition(static_cast<double>(positionSlider_->value()) / kPositionRange);
    transport_.ApplyPosition();
}

// ---- Messages and timers ----

LRESULT CTevDeck2::OnAppMessage(uint32_t msg, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    switch (msg) {
        case WM_FADER_START:
            if (!transport_.IsPlaying()) {
                transport_.PlayPause(false);
            }
            break;
        case WM_FFWD_PRESSED:
            StartWinding(kTimerFastForward);
            break;
        case WM_FFWD_RELEASED:
            StopWinding(kTimerFastForward);
            break;
        case WM_RWND_PRESSED:
            StartWinding(kTimerRewind);
            break;
        case WM_RWND_RELEASED:
            StopWinding(kTimerRewind);
            break;
        case WM_REV_PRESSED:
            transport_.PlayBackward();
            break;
        case WM_REV_RELEASED:
            transport_.PlayResumeAfterBackward();
            break;
        case WM_CHART_TURNED_BACKWARD:
            if (transport_.IsPlaying()) {
                transport_.PlayBackward();
            }
            break;
        case WM_CHART_TURNED_FORWARD:
        case WM_CHART_RELEASED:
            if (transport_.IsPlaying()) {
                transport_.PlayResumeAfterBackward();
            } else {
                transport_.PlayPause(true);
            }
            break;
        case WM_POSITION_PRESSED:
            // The press is posted before the slider handles it; a click already released
            // must not leave the deck believing the slider is held.
            if (positionSlider_->isSliderDown()) {
                transport_.BeginPositionChange();
            }
            break;
        default:
            break;
    }
    return 0;
}

void CTevDeck2::ShowTrackEndBlink(bool on) {
    if (on) {
        StartTimer(kTimerTrackEndBlink, 400);
    } else {
        StopTimer(kTimerTrackEndBlink);
    }
    next_->SetHighlighted(on);
}

void CTevDeck2::StartTimer(int id, int milliseconds) {
    timers_[id].start(milliseconds);
}

void CTevDeck2::StopTimer(int id) {
    timers_[id].stop();
}

void CTevDeck2::OnTimer(int id) {
    switch (id) {
        case kTimerCueBlink:
            transport_.SetAtCuePoint(!transport_.atCuePoint());
            PostAppMessage(hMainWnd, WM_BLINK_ELAPSED, WPARAM(deck_));
            ShowTime(transport_.cuePointSeconds());
            if (++blinkCount_ > kCueBlinkTicks) {
                StopTimer(id);
                blinkCount_ = 0;
                transport_.SetAtCuePoint(!transport_.IsPlaying() && transport_.cueEngaged());
                if (transport_.atCuePoint()) {
                    ShowTime(transport_.cuePointSeconds());
                }
                PostAppMessage(hMainWnd, WM_BLINK_ELAPSED, WPARAM(deck_));
            }
            break;
        case kTimerFastForward:
        case kTimerRewind:
            transport_.WindBy(id == kTimerFastForward ? 1.0 : -1.0);  // a second of track a tick
            break;
        case kTimerDiscLength:
            StopTimer(id);
            ShowTime(0.0);
            break;
        case kTimerShowElapsed:
            StopTimer(id);
            SendAppMessage(hMixerWnd, WM_REFRESH_ELAPSED, WPARAM(deck_));
            break;
        case kTimerTrackEndBlink:
            next_->SetHighlighted(!next_->highlighted());
            break;
        default:
            break;
    }
}

void CTevDeck2::closeEvent(QCloseEvent* event) {
    event->ignore();  // the decks close with the program, from the mixer
}

}  // namespace tev
