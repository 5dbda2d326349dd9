#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/AnalysisThreads.h"
#include "controls/CTevColorSquare.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "decks/CTevCircularChartGraph.h"
#include "decks/CTevSliderCtrl.h"
#include "decks/CTevTrackNameIndicator.h"
#include "playlist/CTevDeckSelector.h"
#include "thread/TestRig.h"

using namespace tev;

namespace {

using test::Recorder;
using Message = test::Received;

// Both deck panels replaced by recorders, on the application's pump.
class DeckWidgets : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {};

void SendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease || type == QEvent::MouseMove
                                      ? Qt::MouseButtons()
                                      : button;
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

// A point on a circle of radius 60 around the centre of a 200×200 chart; degrees grow
// clockwise on screen, from three o'clock.
QPoint OnCircle(int degrees) {
    const double turn = degrees * std::numbers::pi / 180.0;
    return QPoint(static_cast<int>(std::lround(100 + 60 * std::cos(turn))),
                  static_cast<int>(std::lround(100 + 60 * std::sin(turn))));
}

// Moves the pointer from one angle to another in 10° steps, with a varying number of samples
// taken at each point.
void Drag(CTevCircularChartGraph& chart, int fromDegrees, int toDegrees) {
    const int step = toDegrees > fromDegrees ? 10 : -10;
    int ticks = 1;
    for (int degrees = fromDegrees + step; degrees != toDegrees + step; degrees += step) {
        SendMouse(chart, QEvent::MouseMove, OnCircle(degrees), Qt::NoButton);
        for (int t = 0; t < ticks; ++t) {
            chart.Tick();
        }
        ticks = ticks % 4 + 1;
    }
}

std::vector<uint32_t> Numbers(const Recorder& recorder) {
    std::vector<uint32_t> numbers;
    for (const Message& m : recorder.Messages()) {
        numbers.push_back(m.msg);
    }
    return numbers;
}

}  // namespace

TEST(TrackNameIndicator, ALongNameIsCutAfterItsTwentyNinthCharacter) {
    const QString title = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCD");
    ASSERT_EQ(title.size(), 40);
    CTevTrackNameIndicator indicator;
    indicator.SetText(title);
    EXPECT_EQ(indicator.text(), title);
    EXPECT_EQ(indicator.DisplayedText(), QStringLiteral("0123456789abcdefghijklmnopqrs"));
    indicator.SetText(QStringLiteral("short"));
    EXPECT_EQ(indicator.DisplayedText(), QStringLiteral("short"));

    // Drawn: black text from the left edge, and nothing past the 29th character.
    indicator.SetText(title);
    const QFontMetrics metrics(indicator.font());
    const int shownWidth = metrics.horizontalAdvance(indicator.DisplayedText());
    indicator.resize(shownWidth + 200, 24);
    const QImage image = indicator.grab().toImage();
    const QRgb background = indicator.palette().color(QPalette::Window).rgb();
    int inked = 0;
    int touchedPastTheCut = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (x > shownWidth + 2) {
                touchedPastTheCut += pixel != background;
            } else {
                inked += qGray(pixel) < 64;
            }
        }
    }
    EXPECT_GT(inked, 100) << "the name is legible";
    EXPECT_EQ(touchedPastTheCut, 0);
}

TEST(TrackNameIndicator, WithoutATitleTheFileNameWithoutFolderAndExtensionIsShown) {
    const auto text = &CTevTrackNameIndicator::NowPlayingText;
    EXPECT_EQ(text(QStringLiteral("Title"), QStringLiteral("/music/a.mp3")),
              QStringLiteral("Title"));
    EXPECT_EQ(text(QString(), QStringLiteral("/music/Set 1/track01.mp3")),
              QStringLiteral("track01"));
    EXPECT_EQ(text(QString(), QStringLiteral("C:\\Music\\Set 1\\track01.mp3")),
              QStringLiteral("track01"));
    EXPECT_EQ(text(QString(), QString()), QString());
    // Only the file name's own last dot starts the extension.
    EXPECT_EQ(text(QString(), QStringLiteral("/music/live.2019/intro")), QStringLiteral("intro"));
    EXPECT_EQ(text(QString(), QStringLiteral("D:\\v1.0\\a.b.flac")), QStringLiteral("a.b"));
    EXPECT_EQ(text(QString(), QStringLiteral("track.wav")), QStringLiteral("track"));
    EXPECT_EQ(text(QString(), QStringLiteral("/music/.hidden")), QStringLiteral(".hidden"));
    EXPECT_EQ(text(QString(), QStringLiteral("/music/")), QString());
}

TEST_F(DeckWidgets, APositionSliderPressTellsItsOwnDeckOnce) {
    CTevSliderCtrl slider;
    slider.SetDeck(1);
    slider.resize(300, 30);
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(150, 15), Qt::RightButton);
    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(150, 15), Qt::RightButton);
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(150, 15), Qt::LeftButton);
    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(150, 15), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(deck[1].Messages(), (std::vector<Message>{{WM_POSITION_PRESSED, 1, 0}}));
    EXPECT_TRUE(deck[0].Messages().empty());
}

TEST_F(DeckWidgets, APressOnThePositionGrooveJumpsThereAndDrags) {
    CTevSliderCtrl slider;
    slider.setRange(0, 1000);
    slider.resize(400, 30);
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(300, 15), Qt::LeftButton);
    EXPECT_NEAR(slider.value(), 750, 60);
    EXPECT_TRUE(slider.isSliderDown()) << "the press goes on as a drag";
    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(300, 15), Qt::LeftButton);
    SendMouse(slider, QEvent::MouseButtonPress, QPoint(0, 15), Qt::LeftButton);
    SendMouse(slider, QEvent::MouseButtonRelease, QPoint(0, 15), Qt::LeftButton);
    EXPECT_EQ(slider.value(), 0);

    // A vertical slider counts from the bottom.
    CTevSliderCtrl vertical(Qt::Vertical);
    vertical.setRange(0, 1000);
    vertical.resize(30, 400);
    SendMouse(vertical, QEvent::MouseButtonPress, QPoint(15, 100), Qt::LeftButton);
    EXPECT_NEAR(vertical.value(), 750, 60);
    SendMouse(vertical, QEvent::MouseButtonRelease, QPoint(15, 100), Qt::LeftButton);
}

TEST_F(DeckWidgets, AScratchReportsEachDirectionChangeOnceThenTheRelease) {
    CTevCircularChartGraph chart;
    chart.SetDeck(1);
    chart.resize(200, 200);
    chart.show();
    // From upper left over the top to upper right and back: the fold at twelve o'clock is
    // crossed both ways.
    SendMouse(chart, QEvent::MouseButtonPress, OnCircle(-150), Qt::LeftButton);
    chart.Tick();
    Drag(chart, -150, -30);
    Drag(chart, -30, -150);
    SendMouse(chart, QEvent::MouseButtonRelease, OnCircle(-150), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(deck[1].Messages(), (std::vector<Message>{{WM_CHART_TURNED_FORWARD, 1, 0},
                                                        {WM_CHART_TURNED_BACKWARD, 1, 0},
                                                        {WM_CHART_RELEASED, 1, 0}}));
    EXPECT_TRUE(deck[0].Messages().empty());
}

TEST_F(DeckWidgets, WholeTurnsThroughTheVerticalKeepTheirDirection) {
    CTevCircularChartGraph chart;
    chart.resize(200, 200);
    chart.show();
    // 10° steps from 0° land exactly above and below the centre as well as crossing there.
    SendMouse(chart, QEvent::MouseButtonPress, OnCircle(0), Qt::LeftButton);
    Drag(chart, 0, 720);
    SendMouse(chart, QEvent::MouseButtonRelease, OnCircle(720), Qt::LeftButton);
    SendMouse(chart, QEvent::MouseButtonPress, OnCircle(45), Qt::LeftButton);
    Drag(chart, 45, -675);
    SendMouse(chart, QEvent::MouseButtonRelease, OnCircle(-675), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(Numbers(deck[0]),
              (std::vector<uint32_t>{WM_CHART_TURNED_FORWARD, WM_CHART_RELEASED,
                                     WM_CHART_TURNED_BACKWARD, WM_CHART_RELEASED}));
}

TEST_F(DeckWidgets, AScratchWithoutMovementOnlyReleases) {
    CTevCircularChartGraph chart;
    chart.resize(200, 200);
    chart.show();
    for (const QPoint at : {OnCircle(30), QPoint(100, 100), QPoint(100, 40)}) {
        SendMouse(chart, QEvent::MouseButtonPress, at, Qt::LeftButton);
        for (int t = 0; t < 5; ++t) {
            chart.Tick();
        }
        SendMouse(chart, QEvent::MouseButtonRelease, at, Qt::LeftButton);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Numbers(deck[0]), (std::vector<uint32_t>(3, WM_CHART_RELEASED)));
}

TEST_F(DeckWidgets, TheScratchIsSampledByItsOwnTimerWhileHeld) {
    CTevCircularChartGraph chart;
    chart.resize(200, 200);
    chart.show();
    SendMouse(chart, QEvent::MouseButtonPress, OnCircle(0), Qt::LeftButton);
    SendMouse(chart, QEvent::MouseMove, OnCircle(20), Qt::NoButton);
    QElapsedTimer elapsed;
    elapsed.start();
    while (deck[0].Messages().empty() && elapsed.elapsed() < 2000) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    SendMouse(chart, QEvent::MouseButtonRelease, OnCircle(20), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(Numbers(deck[0]),
              (std::vector<uint32_t>{WM_CHART_TURNED_FORWARD, WM_CHART_RELEASED}));
}

TEST(CircularChart, EachNewChartEntryTurnsTheDiscOneSectorInTheDecksColour) {
    const uint32_t savedB = colorDeckB;
    colorDeckB = 0x00FF8000;    // blue 255, green 128, red 0
    AnalysisThreads analysis;   // fresh tables
    chartMax[1][0] = 32767.0F;  // one loud entry
    CTevCircularChartGraph chart;
    chart.SetDeck(1);
    chart.resize(200, 161);  // the disc is as large as the shorter side: w = 160
    // Just outside the base circle (radius w/3), near nine o'clock. A sector reaches out from
    // its own entry's maximum at its start to the next entry's at its end, so a lone loud entry
    // is a wedge pointing back from where its sector starts.
    const auto at = [](double degrees) {
        const double r = 60.0;
        const double a = degrees * std::numbers::pi / 180.0;
        return QPoint(static_cast<int>(80 + r * std::cos(a)),
                      static_cast<int>(80 - r * std::sin(a)));
    };
    const QRgb deckColour = CTevColorSquare::ToQColor(colorDeckB).rgb();

    QImage image = chart.grab().toImage();
    EXPECT_EQ(image.pixel(at(-178.0)), deckColour) << "entry 0 first, from nine o'clock down";
    EXPECT_EQ(qGray(image.pixel(at(174.5))), 0);
    chartIndex[1] = 1;  // one chunk analysed since
    image = chart.grab().toImage();
    EXPECT_EQ(image.pixel(at(174.5)), deckColour) << "a sector on, clockwise";
    EXPECT_EQ(qGray(image.pixel(at(-178.0))), 0);
    colorDeckB = savedB;
}

// OK at once chooses Deck A; the last choice clicked outlives a Cancel.
TEST(DeckSelector, OkAtOnceChoosesDeckAAndTheLastClickOutlivesCancel) {
    CTevDeckSelector selector;
    EXPECT_EQ(selector.windowTitle(), QStringLiteral("Select Deck"));
    QDialogButtonBox& buttons = *selector.findChild<QDialogButtonBox*>();
    selector.show();
    buttons.button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(selector.result(), QDialog::Accepted);
    EXPECT_EQ(selector.GetChoice(), CTevDeckSelector::kDeckA);

    selector.show();
    for (const QString text : {"Deck B", "Switch"}) {
        for (QRadioButton* radio : selector.findChildren<QRadioButton*>()) {
            if (radio->text() == text) {
                radio->click();
            }
        }
    }
    buttons.button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(selector.result(), QDialog::Rejected);
    EXPECT_EQ(selector.GetChoice(), CTevDeckSelector::kSwitch);
}
