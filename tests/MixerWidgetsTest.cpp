#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "controls/CTevColorSquare.h"
#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "output/CTevCrossFadeCurveGraph.h"
#include "output/CTevCrossFaderCtrl.h"
#include "playlist/CTevEdit.h"
#include "thread/TestRig.h"

using namespace std::chrono_literals;
using namespace tev;

namespace {

using test::Recorder;
using Message = test::Received;

// The mixer and both deck panels replaced by recorders, on the application's pump.
class MixerWidgets : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {
  protected:
    // Delivers what is posted, then hands it over.
    std::vector<Message> Taken(Recorder& recorder) {
        QCoreApplication::processEvents();
        return recorder.Take();
    }
};

void PressKey(QWidget& widget, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&widget, &release);
}

// Moves the fader in steps of 50 to `to`, looking at it a few times at each step.
void Slide(CTevCrossFaderCtrl& fader, int to) {
    while (fader.value() != to) {
        const int step = std::min(50, std::abs(to - fader.value()));
        fader.setValue(fader.value() + (to > fader.value() ? step : -step));
        for (int t = 0; t < 3; ++t) {
            fader.CueTick();
        }
    }
}

// Runs the event loop, timers included, until `done` or the time is up.
template <class Predicate>
void RunEventLoop(std::chrono::milliseconds limit, Predicate done) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < limit.count()) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
}

int ColourDistance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

// The distance to `colour` of the column's pixel that comes nearest to it, between two rows.
int NearestInColumn(const QImage& image, int x, int top, int bottom, QRgb colour) {
    int nearest = 3 * 255;
    for (int y = top; y <= bottom; ++y) {
        nearest = std::min(nearest, ColourDistance(image.pixel(x, y), colour));
    }
    return nearest;
}

}  // namespace

TEST_F(MixerWidgets, EnterInTheSearchFieldSearchesAndLeavesTheDialogOpen) {
    QDialog dialog;
    auto* search = new CTevEdit(&dialog);
    auto* plain = new QLineEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(search);
    layout->addWidget(plain);
    layout->addWidget(ok);
    dialog.show();

    PressKey(*search, Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(search->text(), QStringLiteral("a"));
    EXPECT_TRUE(Taken(mixer).empty());

    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        PressKey(*search, key);
        EXPECT_EQ(Taken(mixer), (std::vector<Message>{{WM_SEARCH_ENTER, 0, 0}}));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    }

    // The same key in an ordinary field reaches the default button: the dialog above was able
    // to close.
    PressKey(*plain, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(Taken(mixer).empty());
}

TEST(CrossFadeCurveGraph, EachDecksCurveIsDrawnInItsColourOnBlack) {
    const uint32_t savedA = colorDeckA;
    const uint32_t savedB = colorDeckB;
    colorDeckA = 0x000000FF;  // red
    colorDeckB = 0x00FF0000;  // blue
    CTevCrossFadeCurveGraph graph;
    graph.resize(99, 49);
    // Deck A falls from full volume to silence while Deck B rises.
    for (int i = 0; i < CTevCrossFadeCurveGraph::kPoints; ++i) {
        graph.SetPoint(0, i, 1.0 - i / 98.0);
        graph.SetPoint(1, i, i / 98.0);
    }
    const QImage image = graph.grab().toImage();
    const QRgb red = qRgb(255, 0, 0);
    const QRgb blue = qRgb(0, 0, 255);
    // A quarter of the way along, Deck A is near the top and Deck B near the bottom.
    EXPECT_LT(NearestInColumn(image, 24, 8, 16, red), 60);
    EXPECT_LT(NearestInColumn(image, 24, 33, 41, blue), 60);
    EXPECT_GE(NearestInColumn(image, 24, 33, 41, red), 255) << "no red at all";
    EXPECT_GE(NearestInColumn(image, 24, 8, 16, blue), 255);
    // Three quarters of the way they have changed places.
    EXPECT_LT(NearestInColumn(image, 74, 8, 16, blue), 60);
    EXPECT_LT(NearestInColumn(image, 74, 33, 41, red), 60);
    for (const QPoint away : {QPoint(49, 2), QPoint(49, 46), QPoint(2, 24), QPoint(96, 24)}) {
        EXPECT_EQ(image.pixel(away), qRgb(0, 0, 0)) << away.x() << "," << away.y();
    }

    // Points outside the tables change nothing.
    graph.SetPoint(2, 10, 0.5);
    graph.SetPoint(-1, 10, 0.5);
    graph.SetPoint(0, -1, 0.5);
    graph.SetPoint(1, CTevCrossFadeCurveGraph::kPoints, 0.5);
    EXPECT_EQ(graph.grab().toImage(), image);
    colorDeckA = savedA;
    colorDeckB = savedB;
}

// Fader cueing starts the deck the fader crosses the cue mark towards, or lands on it towards;
// leaving the mark, stopping short of it or moving away start nothing. The ends of the travel are
// marks like any other.
TEST_F(MixerWidgets, FaderCueingStartsTheDeckTheFaderCrossesOrLandsOnTheMarkTowards) {
    CTevCrossFaderCtrl fader;
    fader.setRange(-1000, 1000);
    const struct {
        double mark;
        int to;
        int started;  // the deck, or -1
    } moves[] = {{0.2, 500, 1},  {0.2, -500, 0},  {0.2, 100, -1}, {0.2, -1000, -1},
                 {0.2, 200, 1},  {0.2, 600, -1},  {0.2, 200, 0},  {0.2, -300, -1},
                 {1.0, 1000, 1}, {-1.0, -1000, 0}};
    double mark = 0.0;
    for (const auto& move : moves) {
        if (move.mark != mark) {
            mark = move.mark;
            fader.SetCueMark(mark);
        }
        Slide(fader, move.to);
        for (int d = 0; d < kDeckCount; ++d) {
            const std::vector<Message> started{{WM_FADER_START, WPARAM(d), 0}};
            EXPECT_EQ(Taken(deck[d]), d == move.started ? started : std::vector<Message>())
                << "to " << move.to << ", mark " << mark;
        }
    }
}

TEST_F(MixerWidgets, FaderCueingWatchesTheFaderOnlyWhileEnabled) {
    CTevCrossFaderCtrl fader;
    fader.setRange(-1000, 1000);
    fader.SetCueMark(0.2);
    fader.EnableCueing(true);
    EXPECT_TRUE(fader.cueingEnabled());
    fader.setValue(500);
    RunEventLoop(2000ms, [&] { return !deck[1].Messages().empty(); });
    EXPECT_EQ(Taken(deck[1]), (std::vector<Message>{{WM_FADER_START, 1, 0}}));

    fader.EnableCueing(false);
    EXPECT_FALSE(fader.cueingEnabled());
    fader.setValue(-500);
    RunEventLoop(200ms, [] { return false; });
    EXPECT_TRUE(Taken(deck[0]).empty());
}
