#include "controls/CTevButtonCtrl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <vector>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "thread/TestRig.h"

using namespace tev;
using Kind = CTevButtonCtrl::Kind;

namespace {

using Posted = test::Received;

constexpr Kind kAllKinds[] = {
    Kind::Reverse,   Kind::Rewind,        Kind::FastForward, Kind::NextTrack,
    Kind::PlayPause, Kind::PreviousTrack, Kind::AddFile,     Kind::AddFolder,
    Kind::Delete,    Kind::Save,          Kind::DeckSwap,    Kind::MoveUp,
    Kind::MoveDown,  Kind::DeleteAll,     Kind::Power,       Kind::Record,
};

class ButtonCtrl : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {
  protected:
    ButtonCtrl() { button.resize(60, 30); }

    void Mouse(QEvent::Type type, Qt::MouseButton which) {
        const QPointF centre(30, 15);
        QMouseEvent event(type, centre, button.mapToGlobal(centre), which,
                          type == QEvent::MouseButtonPress ? which : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &event);
    }
    void Press(Qt::MouseButton which = Qt::LeftButton) { Mouse(QEvent::MouseButtonPress, which); }
    void Release(Qt::MouseButton which = Qt::LeftButton) {
        Mouse(QEvent::MouseButtonRelease, which);
    }
    // What each deck has received once the posted messages are delivered; then forgets them.
    std::vector<Posted> Delivered(int d) {
        QCoreApplication::processEvents();
        return deck[d].Take();
    }

    CTevButtonCtrl button;
};

}  // namespace

TEST_F(ButtonCtrl, WindingButtonsPostOnePressAndOneReleaseToTheirOwnDeck) {
    const struct {
        Kind kind;
        uint32_t pressed, released;
    } winders[] = {
        {Kind::Reverse, WM_APP + 31, WM_APP + 32},
        {Kind::Rewind, WM_APP + 33, WM_APP + 34},
        {Kind::FastForward, WM_APP + 14, WM_APP + 15},
    };
    for (const auto& w : winders) {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            SCOPED_TRACE(testing::Message()
                         << "kind " << static_cast<int>(w.kind) << ", deck " << deck);
            button.SetKind(w.kind);
            button.SetDeck(deck);
            Press();
            Press();  // still held: nothing more to tell
            EXPECT_EQ(Delivered(deck), (std::vector<Posted>{{w.pressed, WPARAM(deck), 0}}));
            Release();
            EXPECT_EQ(Delivered(deck), (std::vector<Posted>{{w.released, WPARAM(deck), 0}}));
            EXPECT_TRUE(Delivered(1 - deck).empty());
        }
    }
}

TEST_F(ButtonCtrl, OtherButtonsAndOtherMouseButtonsOnlyClick) {
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    for (const Kind kind : {Kind::PlayPause, Kind::NextTrack, Kind::Save, Kind::Power}) {
        button.SetKind(kind);
        Press();
        Release();
    }
    EXPECT_EQ(clicks, 4);

    button.SetKind(Kind::FastForward);
    Release();  // a release without a press
    Press(Qt::RightButton);
    Release(Qt::RightButton);
    EXPECT_EQ(clicks, 4);
    Press();
    Release();
    EXPECT_EQ(clicks, 5) << "the winding buttons click too";
    EXPECT_EQ(Delivered(0),
              (std::vector<Posted>{{WM_FFWD_PRESSED, 0, 0}, {WM_FFWD_RELEASED, 0, 0}}));
}

TEST_F(ButtonCtrl, ADeckNumberOutsideTheTwoDecksIsIgnored) {
    button.SetKind(Kind::Rewind);
    button.SetDeck(1);
    button.SetDeck(2);
    button.SetDeck(-1);
    EXPECT_EQ(button.deck(), 1);
    Press();
    Release();
    EXPECT_EQ(Delivered(1).size(), 2u);
}

// The deck disables reverse when play stops, possibly while the button is held.
TEST_F(ButtonCtrl, AHoldEndsWithItsReleaseEvenWhenTheButtonWasDisabledMeanwhile) {
    button.SetKind(Kind::Reverse);
    Press();
    button.setEnabled(false);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("reverseDisabled.png"));
    Press();  // a disabled button takes no press
    Release();
    EXPECT_EQ(Delivered(0), (std::vector<Posted>{{WM_REV_PRESSED, 0, 0}, {WM_REV_RELEASED, 0, 0}}));
    button.setEnabled(true);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("reverse.png"));
    Press();
    EXPECT_EQ(Delivered(0), (std::vector<Posted>{{WM_REV_PRESSED, 0, 0}}));
}

TEST_F(ButtonCtrl, TheImageFollowsHoldEnabledStateAndPowerLook) {
    EXPECT_TRUE(button.ImageFileName().isEmpty()) << "no kind, no image";

    button.SetKind(Kind::Rewind);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("rewind.png"));
    Press();
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("rewindSelected.png"));
    button.setEnabled(false);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("rewindDisabled.png")) << "over held";
    Release();

    // Without a disabled image a disabled button keeps showing whether it is held.
    button.setEnabled(true);
    button.SetKind(Kind::NextTrack);
    Press();
    button.setEnabled(false);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("nextTrackSelected.png"));
    Release();
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("nextTrack.png"));

    button.setEnabled(true);
    button.SetKind(Kind::Power);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("powerOff.png"));
    button.SetOnLook(true);
    Press();
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("powerOnSelected.png"));
    button.SetOnLook(false);
    EXPECT_EQ(button.ImageFileName(), QStringLiteral("powerOffSelected.png"));
}

// Every name a button can ask for is one the build draws next to the program.
TEST_F(ButtonCtrl, EveryImageNameIsInTheGeneratedSet) {
    const QDir programFolder = QFileInfo(QStringLiteral(TEV_APP)).dir();
    for (const Kind kind : kAllKinds) {
        button.SetKind(kind);
        for (const bool on : {false, true}) {
            button.SetOnLook(on);
            for (const bool enabled : {true, false}) {
                button.setEnabled(enabled);
                for (const bool held : {false, true}) {
                    if (held) {
                        button.setEnabled(true);
                        Press();
                        button.setEnabled(enabled);
                    }
                    const QString name = button.ImageFileName();
                    EXPECT_TRUE(programFolder.exists(name)) << name.toStdString();
                    Release();
                }
            }
        }
    }
}

TEST(ButtonCtrlImage, AFileIsScaledOverTheTargetAndAnUnreadableOneLeavesItAlone) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // Left half clear, right half green: the target shows through on the left only.
    QImage source(2, 1, QImage::Format_ARGB32);
    source.setPixelColor(0, 0, Qt::transparent);
    source.setPixelColor(1, 0, Qt::green);
    ASSERT_TRUE(source.save(folder.filePath(QStringLiteral("half.png"))));
    QFile junk(folder.filePath(QStringLiteral("junk.png")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();

    QImage target(20, 10, QImage::Format_ARGB32);
    target.fill(Qt::blue);
    EXPECT_FALSE(CTevButtonCtrl::DrawImageFile(target, folder.path(), QStringLiteral("no.png")));
    EXPECT_FALSE(CTevButtonCtrl::DrawImageFile(target, folder.path(), QStringLiteral("junk.png")));
    EXPECT_EQ(target.pixelColor(10, 5), QColor(Qt::blue));

    EXPECT_TRUE(CTevButtonCtrl::DrawImageFile(target, folder.path(), QStringLiteral("half.png")));
    for (const int y : {0, 9}) {
        EXPECT_EQ(target.pixelColor(1, y), QColor(Qt::blue));
        EXPECT_EQ(target.pixelColor(18, y), QColor(Qt::green));
    }
}
