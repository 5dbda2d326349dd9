#include "decks/CTevAudioDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "analysis/CTevAnalyzer.h"
#include "controls/CTevButtonCtrl.h"
#include "controls/CTevSplashScreen.h"
#include "controls/CTevTipOfTheDay.h"
#include "controls/ImageFolder.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/EngineThreads.h"
#include "decks/CTevCircularChartGraph.h"
#include "decks/CTevDeck2.h"
#include "decks/CTevEffects.h"
#include "decks/CTevEqualizer2.h"
#include "decks/CTevSliderCtrl.h"
#include "decks/CTevTrackNameIndicator.h"
#include "decks/PanelLayout.h"
#include "input/CdReader.h"
#include "input/FileThreads.h"
#include "output/CTevMixer.h"
#include "platform/KeyboardDevice.h"
#include "platform/SoundSystem.h"
#include "playlist/CTevPlayList2.h"

namespace tev {
namespace {

// Dispatching for about 100 ms lets workers blocked in a send to the UI thread finish.
constexpr int kShutdownPumpSteps = 100;
constexpr int kSplashMs = 5000;

}  // namespace

CTevAudioDlg::CTevAudioDlg(QWidget* parent) : QDialog(parent) {
    cpuUsageBar_ = new QProgressBar(this);
    cpuUsageBar_->setRange(0, 100);
    cpuUsageLabel_ = new QLabel(QStringLiteral("0 %"), this);
    dropoutsLabel_ = new QLabel(QStringLiteral("0 dropouts"), this);
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
    // Every panel takes the program's icon unless it has its own (the decks).
    QGuiApplication::setWindowIcon(ProgramIcon());
    setWindowIcon(ProgramIcon());
    // Shown while the panels are built, gone when this returns (or after 5 s).
    CTevSplashScreen splash;
    splash.ShowSplash(kSplashMs, this);
    hMainWnd.Attach(this);
    setWindowTitle(QStringLiteral("Tev Audio"));

    mixer_ = std::make_unique<CTevMixer>();
    if (tellUser_) {
        mixer_->SetMessageSink(tellUser_);
    }
    mixer_->OnInitDialog();

    trackLengthThread_ = StartTrackLengthLoader();
    if (keyboardPolled_) {
        keyboardThread_ = StartKeyboardPoll(Keyboard());
    }

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

    CTevDeck2* deckA = mixer_->deck(0);
    QStringList problems;
    for (const std::string& file : commandLineFiles_) {
        std::string path = file;
        if (!path.empty() && path[0] != '/') {
            path = QFile::encodeName(QDir::currentPath()).toStdString().append("/").append(path);
        }
        const bool cd = CTevDeck2::IsCdImage(path);
        if (!cd && CTevPlayList2::IsPlayListFileName(path)) {
            // A list goes into the play list for Deck A, which takes its first playable track
            // unless a file was named before it.
            CTevPlayList2& list = *mixer_->playList();
            int row = list.rowCount();
            list.LoadPlayList(path);
            while (row < list.rowCount() && list.track(row).unreadable) {
                ++row;  // a URL, say
            }
            if (row < list.rowCount() && deckA->source() == CTevDeck2::kSourceNone) {
                list.CueTrack(row);
                SendAppMessage(hMixerWnd, WM_LOAD_CUED_TRACK, 0, 0);
            }
            continue;
        }
        // A name that is no sound file is passed over before it could empty the deck, which
        // keeps the last file that loaded.
        TrackInfo info;
        if ((!cd && !ReadTrackInfo(path, info)) ||
            (cd ? !deckA->LoadCdImage(path) : !deckA->LoadFile(path))) {
            const std::string why = cd ? Cd().LastError(0) : WhyNotPlayable(path);
            problems.append(QStringLiteral("%1 %2").arg(
                QFile::decodeName(QByteArray::fromStdString(file)), QString::fromStdString(why)));
        } else if (!cd) {
            // Every file that loaded is listed, and the last one cued (a CD lists itself).
            SendAppMessage(hMixerWnd, WM_TRACK_LOADED, 0, 0);
        }
    }
    LayOutPanels();
    if (!problems.isEmpty()) {
        TellUser(
            QStringLiteral("File Not Recognized: %1").arg(problems.join(QStringLiteral("; "))));
    }

    if (CTevTipOfTheDay::ShouldShowAtStart()) {
        // Modal, but without a loop of its own: the files above are loaded and play on, and
        // the program can close while it is open.
        tipOfTheDay_ = new CTevTipOfTheDay(this);
        tipOfTheDay_->setAttribute(Qt::WA_DeleteOnClose);
        tipOfTheDay_->setWindowModality(Qt::ApplicationModal);
        tipOfTheDay_->open();
        tipOfTheDay_->adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) {
            tipOfTheDay_->move(screen->availableGeometry().center() -
                               tipOfTheDay_->rect().center());
        }
    }
    auto* cpuTimer = new QTimer(this);
    connect(cpuTimer, &QTimer::timeout, this, &CTevAudioDlg::SampleCpuUsage);
    cpuTimer->start(500);
    panelsReady = 1;

    // For scripts and the start-up benchmark: one line on standard output once the panels are
    // shown, and with "close" the program then closes as if the user had closed it.
    if (const char* report = std::getenv("TEV_REPORT_READY"); report != nullptr && *report != 0) {
        const bool close = std::strcmp(report, "close") == 0;
        QTimer::singleShot(0, this, [this, close] {
            const CTevDeck2* deckA = mixer_ != nullptr ? mixer_->deck(0) : nullptr;
            std::printf("TevAudio ready: %llu KiB resident; images %s; Deck A: %s\n",
                        static_cast<unsigned long long>(ResidentKilobytes()),
                        ImagesFound() ? ImageFolder().toLocal8Bit().constData() : "missing",
                        deckA != nullptr ? deckA->NowPlayingText().toLocal8Bit().constData() : "");
            std::fflush(stdout);
            if (close) {
                PostAppMessage(hMainWnd, WM_CLOSE);
            }
        });
    }
    return true;
}

void CTevAudioDlg::SampleCpuUsage() {
    cpuUsage_ = cpuMeter_.Sample();
    cpuUsageText_ = QStringLiteral("%1 %").arg(static_cast<int>(cpuUsage_));
    const uint64_t dropouts = SoundCard::TotalUnderruns();
    dropouts_ = dropouts;
    dropoutsText_ =
        dropouts == 1 ? QStringLiteral("1 dropout") : QStringLiteral("%1 dropouts").arg(dropouts);
    PostAppMessage(hMainWnd, WM_SHOW_CPU_USAGE);
}

void CTevAudioDlg::LayOutPanels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    LayOutPanels(screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024));
}

std::array<QWidget*, panel_layout::kPanelCount> CTevAudioDlg::Panels() const {
    CTevMixer& mixer = *mixer_;
    return {&mixer,
            mixer.deck(0),
            mixer.deck(1),
            mixer.equalizerPanel(0),
            mixer.equalizerPanel(1),
            mixer.effectsPanel(0),
            mixer.effectsPanel(1),
            mixer.playListPanel(),
            mixer.analyzerPanel()};
}

void CTevAudioDlg::LayOutPanels(const QRect& area) {
    using namespace panel_layout;
    CTevMixer& mixer = *mixer_;
    if (mixer.isMaximized()) {
        mixer.showNormal();  // maximising the mixer asks for the layout, not a bigger mixer
    }
    const std::array<QWidget*, kPanelCount> panels = Panels();
    // Shown first: a window's frame, which the layout measures, exists once it is shown. A panel
    // minimised for want of room on an earlier screen gets its chance again.
    std::array<QSize, kPanelCount> sizes;
    for (int i = 0; i < kPanelCount; ++i) {
        if (i != kMixer && panels[i]->isMinimized()) {
            panels[i]->showNormal();
        } else {
            panels[i]->show();
        }
        sizes[i] = panels[i]->frameGeometry().size();
    }
    const Placement placement = Place(sizes, area);
    QStringList minimised;
    for (int i = 0; i < kPanelCount; ++i) {
        panels[i]->move(placement.position[i]);
        if (!placement.fits[i] && i != kMixer) {
            // Out of the way rather than over another panel; the task bar brings it back.
            panels[i]->showMinimized();
            minimised.append(panels[i]->windowTitle());
        }
    }
    if (placement.misfits == 0) {
        return;
    }
    const QSize needed = ClassicSize(sizes);
    QString text = QStringLiteral(
                       "Not every panel fits on this screen (%1x%2 free; all of them "
                       "need %3x%4).")
                       .arg(area.width())
                       .arg(area.height())
                       .arg(needed.width())
                       .arg(needed.height());
    if (!placement.fits[kMixer]) {
        text += QStringLiteral(" The Mixer reaches beyond the screen.");
    }
    if (!minimised.isEmpty()) {
        text += QStringLiteral(
                    " Minimised rather than covering another panel (open %1 from the "
                    "task bar): %2.")
                    .arg(minimised.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"),
                         minimised.join(QStringLiteral(", ")));
    }
    TellUser(text);
}

void CTevAudioDlg::TellUser(const QString& text) {
    std::fprintf(stderr, "TevAudio: %s\n", text.toLocal8Bit().constData());
    if (tellUser_) {
        tellUser_(text);
        return;
    }
    // Without a loop of its own: the start-up goes on to the panels, and scripts that drive the
    // program are not held up.
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tev Audio"), text,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CTevAudioDlg::OnClose() {
    if (tipOfTheDay_ != nullptr) {
        tipOfTheDay_->close();
    }
    if (mixer_ != nullptr) {
        for (int d = 0; d < kDeckCount; ++d) {
            if (mixer_->deck(d)->IsPlaying()) {
                mixer_->deck(d)->PlayPause(true);
            }
        }
    }
    PumpMessages(kShutdownPumpSteps);
    SignalLongLivedThreadsToStop();
    PumpMessages(kShutdownPumpSteps);
    if (mixer_ != nullptr) {
        mixer_->DestroyPanels();
    }
    mixer_.reset();
    EndDialog(QDialog::Rejected);
}

LRESULT CTevAudioDlg::OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) {
        OnClose();
        return 0;
    }
    if (msg == WM_SHOW_CPU_USAGE) {
        cpuUsageBar_->setValue(static_cast<int>(cpuUsage_));
        cpuUsageLabel_->setText(cpuUsageText_);
        dropoutsLabel_->setText(dropoutsText_);
        if (mixer_ != nullptr) {
            mixer_->ShowStatus(cpuUsage_, dropouts_);
        }
        return 0;
    }
    if (mixer_ == nullptr) {
        return 0;  // the panels are gone: nothing left to update
    }
    CTevMixer& mixer = *mixer_;
    const int d = wParam < kDeckCount ? static_cast<int>(wParam) : 0;
    if (mixer.deck(d) == nullptr) {
        return 0;  // the deck is being closed
    }
    CTevDeck2& deck = *mixer.deck(d);
    switch (msg) {
        case WM_REDRAW_CURVE_GRAPH:
            mixer.RedrawCurveGraph();
            break;
        case WM_SYNC_CURVE_SLIDER:
            mixer.ShowCurveParameter();
            break;
        case WM_SYNC_MONITOR_CROSS_FADER:
            mixer.ShowMonitorCrossFader();
            break;
        case WM_SYNC_MAIN_CROSS_FADER:
            mixer.ShowMainCrossFader();
            break;
        case WM_SHOW_CUE_STATE:
            deck.cueCheck()->setChecked(deck.cueEngaged());
            break;
        case WM_BLINK_ELAPSED:
            deck.timeLabel()->setEnabled(!deck.atCuePoint());
            break;
        case WM_SHOW_ELAPSED:
            deck.timeLabel()->setText(deck.timeText());
            break;
        case WM_SHOW_LENGTH:
            deck.lengthLabel()->setText(deck.lengthText());
            break;
        case WM_SHOW_TITLE:
            deck.nowPlaying()->SetText(deck.NowPlayingText());
            break;
        case WM_SHOW_EFFECT_CAPTIONS:
            mixer.effectsPanel(d)->ShowParameterNames();
            break;
        case WM_SHOW_EFFECT_VALUE:
            if (lParam >= 0 && lParam < CTevEffects::kParameters) {
                mixer.effectsPanel(d)->ShowValueText(static_cast<int>(lParam));
            }
            break;
        case WM_SYNC_EFFECT_SLIDER:
            if (lParam >= 0 && lParam < CTevEffects::kParameters) {
                mixer.effectsPanel(d)->ShowSliderPosition(static_cast<int>(lParam));
            }
            break;
        case WM_SHOW_LEVEL_METER:
            mixer.ShowLevelMeter(d);
            break;
        case WM_SYNC_DECK_LEVEL:
            mixer.ShowDeckLevel(d);
            break;
        case WM_SYNC_MAIN_LEVEL:
            mixer.ShowMainLevel();
            break;
        case WM_ENABLE_REV:
            deck.reverseButton()->setEnabled(lParam != 0);
            break;
        case WM_DECK_READER_STATE:
            for (QWidget* button : {static_cast<QWidget*>(deck.fastForwardButton()),
                                    static_cast<QWidget*>(deck.playButton()),
                                    static_cast<QWidget*>(deck.rewindButton())}) {
                button->setEnabled(lParam != 0);
            }
            break;
        case WM_REDRAW_CHART:
            deck.chart()->SetRotation(static_cast<int>(lParam));
            break;
        case WM_SHOW_TEMPO_TEXT:
            deck.tempoLabel()->setText(deck.tempoText());
            break;
        case WM_SYNC_TEMPO_SLIDER:
            deck.tempoSlider()->setValue(-static_cast<int>(
                std::lround(deck.tempo() * CTevDeck2::kTempoRange / CTevDeck2::kMaxTempo)));
            break;
        case WM_SYNC_POSITION_SLIDER:
            deck.positionSlider()->setValue(
                static_cast<int>(deck.position() * CTevDeck2::kPositionRange));
            break;
        case WM_LAYOUT_PANELS:
            LayOutPanels();
            break;
        default:
            break;  // numbers without a control
    }
    return 0;
}

}  // namespace tev
