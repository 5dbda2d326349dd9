#include "decks/CTevAudioDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <vector>

#include "analysis/CTevAnalyzer.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "decks/CTevEffects.h"
#include "decks/CTevEqualizer2.h"
#include "decks/PanelLayout.h"
#include "platform/SoundCard.h"
#include "playlist/CTevPlayList2.h"
#include "support/AppRig.h"

using namespace tev;
using namespace tev::panel_layout;

TEST(MainWindow, DropoutsOfEverySoundCardAreCountedAndShownBesideTheProcessorLoad) {
    QtMessagePump pump;
    SetMessagePump(&pump);
    {
        CTevAudioDlg dialog;
        hMainWnd.Attach(&dialog);
        ManualClockCard card;
        const uint64_t before = SoundCard::TotalUnderruns();
        card.ReportUnderflow();
        card.ReportUnderflow();
        EXPECT_EQ(card.Underruns(), 2U);
        EXPECT_EQ(SoundCard::TotalUnderruns(), before + 2);
        dialog.SampleCpuUsage();
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog.dropoutsLabel()->text(), QStringLiteral("%1 dropouts").arg(before + 2));
        EXPECT_TRUE(dialog.cpuUsageLabel()->text().endsWith(QStringLiteral(" %")));
    }
    SetMessagePump(nullptr);
}

namespace {

struct Screen {
    const char* name;
    QRect area;    // the work area the panels are laid out on
    int titleBar;  // added to every frame's height, as a window manager's title bar would
    std::vector<int> mustFit;  // the panels this screen has room for, at least
    bool classic;  // the mixer centred at the top, the play list and analyzer on the bottom
};

const std::vector<int> kAll = {kMixer,    kDeckA,    kDeckB,    kEqualizerA, kEqualizerB,
                               kEffectsA, kEffectsB, kPlayList, kAnalyzer};
const std::vector<int> kTopRow = {kMixer, kDeckA, kDeckB};

void PrintTo(const Screen& screen, std::ostream* out) {
    *out << screen.name;
}

class PanelLayoutOn : public ::testing::TestWithParam<Screen> {};

}  // namespace

// On every screen from a laptop's up, no panel covers another or the screen's edge; a panel
// without room is minimised and named to the user with a screen size that holds them all.
TEST_P(PanelLayoutOn, NoPanelCoversAnotherAndThoseWithoutRoomAreNamed) {
    const Screen& screen = GetParam();
    test::AppRig rig;
    CTevMixer& mixer = *rig.mixer;
    const std::array<QWidget*, kPanelCount> panels = rig.dialog->Panels();
    std::array<QSize, kPanelCount> sizes;
    for (int i = 0; i < kPanelCount; ++i) {
        sizes[i] = panels[i]->frameGeometry().size() + QSize(0, screen.titleBar);
    }
    std::array<QRect, kPanelCount> frames;
    std::array<bool, kPanelCount> placed{};
    if (screen.titleBar == 0) {
        rig.dialog->LayOutPanels(screen.area);
        QStringList minimised;
        for (int i = 0; i < kPanelCount; ++i) {
            frames[i] = panels[i]->frameGeometry();
            placed[i] = !panels[i]->isMinimized();
            if (!placed[i]) {
                minimised.append(panels[i]->windowTitle());
            }
        }
        EXPECT_FALSE(mixer.isMinimized());
        if (minimised.isEmpty() && screen.area.contains(frames[kMixer])) {
            EXPECT_TRUE(rig.told.isEmpty()) << rig.told.join(' ').toStdString();
        } else {
            ASSERT_EQ(rig.told.size(), 1);
            const QString& told = rig.told.front();
            const QSize needed = ClassicSize(sizes);
            EXPECT_TRUE(told.contains(
                QStringLiteral("(%1x%2 free;").arg(screen.area.width()).arg(screen.area.height())))
                << told.toStdString();
            EXPECT_TRUE(told.contains(
                QStringLiteral("need %1x%2)").arg(needed.width()).arg(needed.height())))
                << told.toStdString();
            EXPECT_EQ(Place(sizes, QRect(QPoint(0, 0), needed)).misfits, 0)
                << "the size named holds every panel";
            const auto named =
                QRegularExpression(QStringLiteral("task bar\\): (.*)\\.$")).match(told).captured(1);
            EXPECT_EQ(named, minimised.join(QStringLiteral(", ")));
            EXPECT_EQ(told.contains(QStringLiteral("The Mixer reaches beyond the screen")),
                      !screen.area.contains(frames[kMixer]));
        }
    } else {
        const Placement placement = Place(sizes, screen.area);
        for (int i = 0; i < kPanelCount; ++i) {
            frames[i] = QRect(placement.position[i], sizes[i]);
            placed[i] = placement.fits[i];
        }
    }
    for (const int i : screen.mustFit) {
        EXPECT_TRUE(placed[i]) << panels[i]->windowTitle().toStdString() << " has room";
    }
    for (int i = 0; i < kPanelCount; ++i) {
        const std::string title = panels[i]->windowTitle().toStdString();
        if (placed[i] && i != kMixer) {
            EXPECT_TRUE(screen.area.contains(frames[i])) << title;
        }
        for (int j = 0; j < i; ++j) {
            if ((placed[i] || i == kMixer) && (placed[j] || j == kMixer)) {
                EXPECT_FALSE(frames[i].intersects(frames[j]))
                    << title << " covers " << panels[j]->windowTitle().toStdString();
            }
        }
    }
    if (screen.classic) {
        const QRect& area = screen.area;
        const int half = area.left() + area.width() / 2;
        EXPECT_EQ(frames[kMixer].topLeft(),
                  QPoint(area.left() + (area.width() - frames[kMixer].width()) / 2, area.top()));
        EXPECT_EQ(frames[kEffectsA].right() + 1, half);
        EXPECT_EQ(frames[kEffectsB].left(), half);
        EXPECT_EQ(frames[kPlayList].right() + 1, half);
        EXPECT_EQ(frames[kPlayList].bottom(), area.bottom());
        EXPECT_EQ(frames[kAnalyzer].topLeft(),
                  QPoint(half, area.bottom() + 1 - frames[kAnalyzer].height()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, PanelLayoutOn,
    ::testing::Values(
        Screen{"FullHd", QRect(0, 0, 1920, 1080), 0, kAll, true},
        Screen{"Qhd_OnTheSecondScreen", QRect(1920, 0, 2560, 1440), 0, kAll, true},
        // Title bars and a task bar make the classic layout too tall: the effects and
        // equalizers beside the decks make room for the bottom row.
        Screen{"FullHdWithTitleBarsAndATaskBar", QRect(0, 0, 1920, 1040), 28, kAll, false},
        Screen{"Sxga",
               QRect(0, 0, 1280, 1024),
               0,
               {kMixer, kDeckA, kDeckB, kEqualizerA, kEqualizerB, kEffectsA, kEffectsB},
               false},
        Screen{"Wxga", QRect(0, 0, 1280, 800), 0, kTopRow, false},
        Screen{"HdBelowATopBar", QRect(0, 24, 1366, 744), 0, kTopRow, false},
        // Narrower than the top row: Deck A stays beside the mixer.
        Screen{"Xga", QRect(0, 0, 1024, 768), 0, {kMixer, kDeckA}, false},
        Screen{"LowerThanTheMixer", QRect(0, 0, 800, 600), 0, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });
