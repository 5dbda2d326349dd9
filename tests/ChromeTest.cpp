// What surrounds the decks: the command line, the splash screen, the tip of the day, the about
// box and the mixer's status line, and the whole program started with files and a flag.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <string>
#include <vector>

#include "controls/CTevAboutDlg.h"
#include "controls/CTevCommandLineInfo.h"
#include "controls/CTevSplashScreen.h"
#include "controls/CTevTipOfTheDay.h"
#include "core/SettingsStore.h"
#include "decoder/DecoderRig.h"
#include "output/CTevMixer.h"
#include "support/AppRig.h"

using namespace tev;

namespace {

// ---- the command line ----

struct CommandLineCase {
    const char* name;
    std::vector<const char*> parameters;  // after the program's name
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, EveryParameterIsOneFileInOrderAndTheLastIsMarked) {
    std::vector<const char*> argv{"tevaudio"};
    const auto& parameters = GetParam().parameters;
    argv.insert(argv.end(), parameters.begin(), parameters.end());
    CTevCommandLineInfo info(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(info.HasFiles(), !parameters.empty());
    std::vector<std::string> got;
    bool last = false;
    for (int guard = 0; !last && guard < 10; ++guard) {
        std::string file = "stale";
        info.NextFile(file, last);
        got.push_back(file);
    }
    ASSERT_TRUE(last);
    if (parameters.empty()) {
        EXPECT_EQ(got, std::vector<std::string>{""});
    } else {
        EXPECT_EQ(got, std::vector<std::string>(parameters.begin(), parameters.end()));
    }
    // Past the end it stays empty and last.
    std::string file = "stale";
    info.NextFile(file, last);
    EXPECT_TRUE(file.empty());
    EXPECT_TRUE(last);
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, CommandLine,
    ::testing::Values(CommandLineCase{"Nothing", {}},
                      CommandLineCase{"AFlagAlone", {"--no-such-flag"}},
                      CommandLineCase{"FilesACueAndAFlag",
                                      {"/music/a.mp3", "disc.cue", "-x", "b c.ogg"}},
                      CommandLineCase{"BytesAndAnEmptyOne", {"\xff\xfe-not-utf8.wav", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the splash screen ----

QString WriteImage(const QTemporaryDir& dir, QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 40));
    const QString path = dir.filePath(QStringLiteral("splash.png"));
    image.save(path);
    return path;
}

TEST(Splash, AMissingImageShowsNothingAndSaysSo) {
    QTemporaryDir dir;
    CTevSplashScreen splash(dir.filePath(QStringLiteral("none.png")));
    EXPECT_FALSE(splash.ShowSplash(5000, nullptr));
    EXPECT_FALSE(splash.isVisible());
}

TEST(Splash, ShowsCentredAtOnceFadesInOnItsTimerAndHidesWhenItsTimeIsUp) {
    QTemporaryDir dir;
    CTevSplashScreen splash(WriteImage(dir, QSize(300, 200)));
    ASSERT_TRUE(splash.ShowSplash(600, nullptr));
    // Returned at once: the fade has not run, so it cannot have held up the caller.
    EXPECT_FALSE(splash.painted());
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(splash.size(), QSize(300, 200));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(splash.geometry().center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(splash.geometry().center().y() - area.center().y()), 1);
    EXPECT_EQ(splash.grab().toImage().pixelColor(150, 100), QColor(200, 40, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return splash.painted(); }, 2000));
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 3000));
}

// ---- the tip of the day ----

class TipOfTheDay : public ::testing::Test {
  protected:
    void SetUp() override {
        Settings().SaveTipOfTheDayIndex(0);
        Settings().SaveShowTipOfTheDay(true);
    }
};

TEST_F(TipOfTheDay, NextTipWrapsAndIsStoredAndOkOnTheLastStoresTheFirst) {
    Settings().SaveTipOfTheDayIndex(CTevTipOfTheDay::kTipCount - 2);
    CTevTipOfTheDay tip;
    EXPECT_EQ(tip.tipText()->text(), CTevTipOfTheDay::Tip(7));
    QTest::mouseClick(tip.nextTipButton(), Qt::LeftButton);
    EXPECT_EQ(tip.index(), 8);
    EXPECT_EQ(Settings().LoadTipOfTheDayIndex(), 8U);
    QTest::mouseClick(tip.nextTipButton(), Qt::LeftButton);
    EXPECT_EQ(tip.index(), 0);
    EXPECT_EQ(Settings().LoadTipOfTheDayIndex(), 0U);
    EXPECT_EQ(tip.tipText()->text(), CTevTipOfTheDay::Tip(0));

    Settings().SaveTipOfTheDayIndex(8);
    CTevTipOfTheDay last;
    last.open();
    QTest::mouseClick(last.okButton(), Qt::LeftButton);
    EXPECT_EQ(Settings().LoadTipOfTheDayIndex(), 0U);
    EXPECT_FALSE(last.isVisible());
    EXPECT_EQ(last.result(), QDialog::Accepted);
}

TEST_F(TipOfTheDay, AStoredIndexOutOfRangeIsTakenModuloTheCount) {
    for (const uint32_t stored : {9U, 23U, 4294967295U}) {
        Settings().SaveTipOfTheDayIndex(stored);
        CTevTipOfTheDay tip;
        EXPECT_EQ(tip.index(), static_cast<int>(stored % 9)) << stored;
        EXPECT_EQ(tip.tipText()->text(), CTevTipOfTheDay::Tip(static_cast<int>(stored % 9)));
    }
}

TEST_F(TipOfTheDay, TheCheckBoxStoresItsStateAndNoTipShowsWhereNobodySeesIt) {
    CTevTipOfTheDay tip;
    EXPECT_TRUE(tip.showAtStartup()->isChecked());
    QTest::mouseClick(tip.showAtStartup(), Qt::LeftButton);
    EXPECT_FALSE(Settings().LoadShowTipOfTheDay());
    QTest::mouseClick(tip.showAtStartup(), Qt::LeftButton);
    EXPECT_TRUE(Settings().LoadShowTipOfTheDay());
    // The setting is on, but the tests run offscreen.
    EXPECT_FALSE(CTevTipOfTheDay::ShouldShowAtStart());
}

TEST(Tips, NoTipNamesAPieceOfSoftwareThisProgramDoesNotUse) {
    for (int i = 0; i < CTevTipOfTheDay::kTipCount; ++i) {
        const QString tip = CTevTipOfTheDay::Tip(i);
        EXPECT_FALSE(tip.isEmpty());
        for (const char* foreign : {"Nero", "Virtual Audio Cable", "Neither"}) {
            EXPECT_FALSE(tip.contains(QLatin1String(foreign))) << i << ": " << tip.toStdString();
        }
    }
}

// ---- the about box ----

TEST(CompanyLogo, DrawsItsImageScaledOrNothingWhenTheImageIsMissing) {
    QTemporaryDir dir;
    QWidget parent;
    parent.setStyleSheet(QStringLiteral("background: rgb(0, 0, 255)"));
    parent.setAutoFillBackground(true);
    CTevCompanyLogo missing(&parent, dir.filePath(QStringLiteral("none.png")));
    missing.setFixedSize(40, 20);
    CTevCompanyLogo logo(&parent, WriteImage(dir, QSize(10, 5)));
    logo.setFixedSize(80, 40);
    logo.move(0, 30);
    parent.resize(100, 100);
    const QImage shot = parent.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 10), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(2, 32), QColor(200, 40, 40));
    EXPECT_EQ(shot.pixelColor(77, 67), QColor(200, 40, 40));
}

TEST(AboutBox, NamesTheVersionTheKeysAndTheLibrariesItRunsOn) {
    CTevAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About TevAudio"));
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts.append(label->text());
    }
    const QString all = texts.join('\n');
    EXPECT_TRUE(texts.contains(QStringLiteral("Tev Audio V. 1.0.5")));
    for (const char* part : {"W / P", "F1"}) {
        EXPECT_TRUE(all.contains(QLatin1String(part))) << part;
    }
    const QStringList libraries = CTevAboutDlg::LibraryVersions().split('\n');
    ASSERT_EQ(libraries.size(), 4);
    const char* names[] = {"Qt 6.", "FFmpeg ", "PortAudio V19", "libcdio 2."};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(libraries[i].startsWith(QLatin1String(names[i]))) << libraries[i].toStdString();
        EXPECT_GT(libraries[i].size(), static_cast<qsizetype>(std::strlen(names[i])));
    }
}

// The mixer offers the about box from its context menu, its "?" button and F1; it is modal and
// there is never more than one.
TEST(MixerChrome, TheAboutBoxOpensFromTheMenuTheButtonAndF1AndOnlyOnce) {
    test::AppRig app;
    CTevMixer& mixer = *app.mixer;
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                mixer.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&mixer, &menuEvent);
    auto* menu = mixer.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("&About TevAudio..."));
    menu->actions()[0]->trigger();
    ASSERT_NE(mixer.aboutBox(), nullptr);
    EXPECT_TRUE(mixer.aboutBox()->isModal());
    QPointer<QDialog> first = mixer.aboutBox();
    QTest::mouseClick(mixer.aboutButton(), Qt::LeftButton);
    EXPECT_EQ(mixer.aboutBox(), first);
    const QList<QDialog*> dialogs = mixer.findChildren<QDialog*>();
    EXPECT_EQ(std::count_if(dialogs.begin(), dialogs.end(),
                            [](const QDialog* d) {
                                return d->windowTitle() == QStringLiteral("About TevAudio");
                            }),
              1);
    first->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 1000)) << "closed, it is gone";

    // F1 reaches the program from any of its panels.
    app.deck[1]->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app.deck[1]));
    QTest::keyClick(app.deck[1], Qt::Key_F1);
    ASSERT_NE(mixer.aboutBox(), nullptr);
    mixer.aboutBox()->close();
}

// ---- the status line ----

TEST(MixerChrome, TheStatusLineShowsLoadAndDropoutsAndWarnsOfTrouble) {
    test::AppRig app;
    CTevMixer& mixer = *app.mixer;
    struct Step {
        double load;
        uint64_t dropouts;
        const char* text;
        bool warns;
    };
    const Step steps[] = {
        {37.8, 0, "CPU 37 %\n0 dropouts", false},
        {12.0, 1, "CPU 12 %\n1 dropout", true},   // a new dropout
        {12.0, 1, "CPU 12 %\n1 dropout", false},  // none since
        {79.9, 1, "CPU 79 %\n1 dropout", false},
        {80.0, 1, "CPU 80 %\n1 dropout", true},  // a high load
        {5.0, 7, "CPU 5 %\n7 dropouts", true},
    };
    for (const Step& step : steps) {
        mixer.ShowStatus(step.load, step.dropouts);
        EXPECT_EQ(mixer.statusLine()->text(), QLatin1String(step.text));
        EXPECT_EQ(mixer.statusWarns(), step.warns) << step.text;
    }
    // The main window's sampling feeds it.
    app.dialog->SampleCpuUsage();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return mixer.statusLine()->text().endsWith(app.dialog->dropoutsLabel()->text()); },
        1000));
}

// ---- the program ----

// Started with two files and a flag between them, the real program shows its splash, says the
// flag is no file without stopping to ask, loads the files in order (Deck A keeps the last),
// reports itself ready and closes with exit code 0.
TEST(Program, StartsWithItsCommandLineInOrderAndClosesCleanly) {
    QTemporaryDir dir;
    const auto file = [&](const char* name, const std::string& title, int id) {
        const std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
        test::WriteWav(path, 2, 16, 44100, test::Bytes(test::NumberedFrames(44100, 2, id)), title);
        return QString::fromStdString(path);
    };
    const QString first = file("first.wav", "First Song", 1);
    const QString second = file("second.wav", "Second Song", 2);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.path());
    env.insert("TEV_REPORT_READY", "close");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TEV_APP), {first, QStringLiteral("--no-such-flag"), second});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(out.startsWith(QStringLiteral("TevAudio ready: "))) << out.toStdString();
    EXPECT_TRUE(out.contains(
        QStringLiteral("images %1;").arg(QFileInfo(QStringLiteral(TEV_APP)).absolutePath())))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Deck A: Second Song"))) << out.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("File Not Recognized: --no-such-flag")))
        << err.toStdString();
}

}  // namespace
