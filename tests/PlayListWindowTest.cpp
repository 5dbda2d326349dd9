#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QProgressBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "decoder/DecoderRig.h"
#include "playlist/CTevDeckSelector.h"
#include "playlist/CTevPlayList2.h"
#include "playlist/PlayListModel.h"
#include "thread/TestRig.h"

using namespace tev;
using Message = test::Received;
namespace fs = std::filesystem;

namespace {

// The window with a recorder as the mixer and no track-length loader: the tests play the
// loader's part. Every change the model announces is checked against what it holds.
class PlayListWindow : public ::testing::Test, protected test::RecorderRig<QtMessagePump> {
  protected:
    PlayListWindow() {
        list = std::make_unique<CTevPlayList2>();
        tester = std::make_unique<QAbstractItemModelTester>(
            list->view()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    ~PlayListWindow() override {
        tester.reset();
        list.reset();
    }

    // One sound file per letter of `decks` ('A' or 'B'), named /m/<row>.mp3.
    void AddTracks(const std::string& decks) {
        for (char deck : decks) {
            list->AddTrack(deck == 'B' ? 1 : 0, "/m/" + std::to_string(list->rowCount()) + ".mp3",
                           -1.0, "");
        }
    }
    std::string Decks() const {
        std::string decks;
        for (int row = 0; row < list->rowCount(); ++row) {
            decks += list->track(row).deck == 0 ? 'A' : 'B';
        }
        return decks;
    }
    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        for (int row = 0; row < list->rowCount(); ++row) {
            paths.push_back(list->track(row).path);
        }
        return paths;
    }
    // The loader's part: takes the waiting request, answers it and reports; the path measured,
    // empty when nothing was asked.
    std::string Answer(double seconds, const std::string& title = "") {
        std::string path;
        if (!trackLength.Take(path)) {
            return {};
        }
        trackLength.Publish(path, &title, seconds);
        trackLength.Finish();
        list->OnTrackLengthLoaded();
        return path;
    }

    std::unique_ptr<CTevPlayList2> list;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QTemporaryDir dir;
};

TEST_F(PlayListWindow, EachDeckHasItsOwnQueue) {
    AddTracks("ABAABB");  // A: rows 0 2 3, B: rows 1 4 5
    EXPECT_EQ(list->LineUpNextTrack(0), "") << "no cued track";
    list->CueTrack(2);
    list->CueTrack(4);
    list->CueTrack(0);
    EXPECT_EQ(list->CuedTrackPath(0), "/m/0.mp3") << "the deck's earlier cue is gone";
    EXPECT_EQ(list->CuedTrackPath(1), "/m/4.mp3") << "the other deck's cue is untouched";
    EXPECT_EQ(list->CuedTrackName(1), "4.mp3");
    const int icons[] = {0, 3, 2, 2, 1, 3};
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(list->RowIcon(row), icons[row]) << row;
    }

    EXPECT_EQ(list->LineUpNextTrack(0), "/m/2.mp3") << "skips Deck B's row 1";
    list->CueLinedUpTrack(0);
    EXPECT_EQ(list->CuedTrackPath(0), "/m/2.mp3");
    list->CueTrack(3);
    EXPECT_EQ(list->LineUpNextTrack(0), "") << "the deck's last track";
    list->CueLinedUpTrack(0);
    EXPECT_EQ(list->CuedTrackPath(0), "/m/3.mp3") << "the earlier mark was cleared";

    // Previous and next stay within the deck and report false at its ends.
    struct Step {
        int deck, cue;
        bool next, moved;
        int cuedAfter;
    };
    for (const Step& s :
         {Step{0, 0, false, false, 0}, Step{0, 3, true, false, 3}, Step{0, 3, false, true, 2},
          Step{0, 0, true, true, 2}, Step{1, 5, true, false, 5}, Step{1, 1, true, true, 4},
          Step{1, 4, false, true, 1}, Step{1, -1, true, false, -1}}) {
        SCOPED_TRACE(testing::Message() << "deck " << s.deck << " cue " << s.cue);
        if (s.cue < 0) {
            list->ClearCued(s.deck);
        } else {
            list->CueTrack(s.cue);
        }
        mixer.Take();
        EXPECT_EQ(s.next ? list->CueNext(s.deck) : list->CuePrevious(s.deck), s.moved);
        const int cued = list->CuedTrack(s.deck) == nullptr
                             ? -1
                             : static_cast<int>(list->CuedTrack(s.deck) - &list->track(0));
        EXPECT_EQ(cued, s.cuedAfter);
        const std::vector<Message> load{{WM_LOAD_CUED_TRACK, WPARAM(s.deck), 0}};
        EXPECT_EQ(mixer.Take(), s.moved ? load : std::vector<Message>());
    }
}

TEST_F(PlayListWindow, EditsActOnTheSelectedRowAndStopAtTheEnds) {
    // The rows' order after each edit, by the number each track was added with.
    struct Edit {
        const char* what;
        int select;
        void (CTevPlayList2::*action)();
        const char* order;
        int selectedAfter;
        bool changed;
    };
    const Edit edits[] = {
        {"up at the top", 0, &CTevPlayList2::MoveUp, "012", 0, false},
        {"down at the bottom", 2, &CTevPlayList2::MoveDown, "012", 2, false},
        {"up", 2, &CTevPlayList2::MoveUp, "021", 1, true},
        {"down", 0, &CTevPlayList2::MoveDown, "102", 1, true},
        {"delete", 1, &CTevPlayList2::DeleteSelected, "02", -1, true},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.what);
        list->SetConfirmation([](const QString&) { return true; });
        list->DeleteAll();
        AddTracks("ABA");
        list->SelectRow(edit.select);
        mixer.Take();
        (list.get()->*edit.action)();
        std::string order;
        for (const std::string& path : Paths()) {
            order += path.substr(3, 1);  // "/m/<n>.mp3"
        }
        EXPECT_EQ(order, edit.order);
        EXPECT_EQ(list->selectedRow(), edit.selectedAfter);
        const std::vector<Message> changed{{WM_PLAYLIST_CHANGED, 0, 0}};
        EXPECT_EQ(mixer.Take(), edit.changed ? changed : std::vector<Message>());
        if (edit.selectedAfter >= 0) {
            EXPECT_EQ(list->RowIcon(edit.selectedAfter), 6 + list->track(edit.selectedAfter).deck);
        }
    }

    // The swap moves the track to the other queue and takes its cue away.
    list->CueTrack(1);
    list->SelectRow(1);
    list->SwapDeck();
    EXPECT_EQ(Decks(), "AB");
    EXPECT_EQ(list->CuedTrack(0), nullptr);
    EXPECT_EQ(list->RowIcon(1), 7);

    QString asked;
    for (const bool sure : {false, true}) {
        list->SetConfirmation([&asked, sure](const QString& text) {
            asked = text;
            return sure;
        });
        mixer.Take();
        list->DeleteAll();
        EXPECT_EQ(asked, "Are You Sure?");
        EXPECT_EQ(list->rowCount(), sure ? 0 : 2);
        EXPECT_EQ(mixer.Count(WM_PLAYLIST_CHANGED), sure ? 1 : 0);
    }
}

TEST_F(PlayListWindow, FindGoesForwardFromTheSelectionWithoutWrappingAround) {
    for (const char* name : {"Alpha.mp3", "beta.mp3", "ALPHABET.ogg", "gamma.wav"}) {
        list->AddTrack(0, std::string("/music/") + name, -1, "");
    }
    list->SetSearchText("alpha");
    for (const int expected : {0, 2, 2}) {
        list->Find();
        EXPECT_EQ(list->selectedRow(), expected);
    }
    // In path mode the folder matches too, from the row after the selected one.
    list->SetDisplayMode(CTevPlayList2::kShowPath);
    list->SetSearchText("MUSIC");
    list->Find();
    EXPECT_EQ(list->selectedRow(), 3);
    EXPECT_TRUE(mixer.Take().empty());
}

TEST_F(PlayListWindow, RemovingADecksCdTracksLeavesItsFilesAndTheOtherDeck) {
    list->AddMediumTrack(0, "/dev/sr0", 1, 180, "One");
    AddTracks("A");
    list->AddMediumTrack(0, "/dev/sr0", 2, 200, "");
    list->AddMediumTrack(0, "/dev/sr0", 3, 200, "");
    list->AddMediumTrack(1, "/dev/sr1", 1, 100, "");
    AddTracks("B");
    list->AddMediumTrack(0, "/dev/sr0", 4, 200, "");
    list->CueTrackNumber(0, 3);
    EXPECT_EQ(list->CuedTrackName(0), "Track 3");
    list->RemoveMediumTracks(0);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/m/1.mp3", "/dev/sr1", "/m/5.mp3"}));
    EXPECT_EQ(list->CuedTrack(0), nullptr);
}

TEST_F(PlayListWindow, MeasuresEachFileOnceAndNeverRetriesAnUnreadableOne) {
    AddTracks("AB");
    list->AddTrack(0, "/m/0.mp3", -1, "");  // the same file twice
    list->AddTrack(1, "/m/known.mp3", 61, "Known");
    list->AddMediumTrack(0, "/dev/sr0", 1, -1, "");
    list->MeasureNext();
    list->MeasureNext();  // busy: asks nothing more
    EXPECT_EQ(Answer(-1), "/m/0.mp3");
    for (const int row : {0, 2}) {
        EXPECT_EQ(list->TimeText(row), "???");
        EXPECT_EQ(list->RowIcon(row), 8);
    }
    // The next one was handed over at once, without waiting for the timer.
    EXPECT_EQ(Answer(75.9, "Title"), "/m/1.mp3");
    EXPECT_EQ(list->TimeText(1), "1:15");
    list->SetDisplayMode(CTevPlayList2::kShowTag);
    EXPECT_EQ(list->RowText(1), "Title");
    EXPECT_EQ(list->RowText(0), "0.mp3") << "no title: the file name";
    EXPECT_EQ(list->TimeText(3), "1:01");
    // Nothing is left to measure: neither the unreadable file nor the CD track is asked for.
    list->MeasureNext();
    EXPECT_EQ(Answer(10), "");
    list->SetCuedTrackLength(0, 12);
    list->CueTrack(0);
    list->SetCuedTrackLength(0, 3599.99);
    EXPECT_EQ(list->TimeText(0), "???") << "unreadable wins";
    EXPECT_EQ(CTevPlayList2::FormatLength(3599.99, false), "59:59");
    EXPECT_EQ(CTevPlayList2::FormatLength(-1, false), "");
}

TEST_F(PlayListWindow, AHostileListGivesUnreadableRowsThatAreNeverMeasured) {
    const fs::path folder = dir.path().toStdString();
    test::WriteFile(folder / "real.mp3", "");
    test::WriteFile(folder / "list.m3u",
                    "#EXTM3U\n#EXTINF:-1,Stream\nhttp://203.0.113.1:8000/stream.mp3\nlist.m3u\n"
                    "file:///etc/passwd\nreal.mp3\n");
    list->LoadPlayList((folder / "list.m3u").string());
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_PLAYLIST_CHANGED, 0, 0}}));
    ASSERT_EQ(list->rowCount(), 4);
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(list->track(row).unreadable) << list->track(row).path;
        EXPECT_EQ(list->TimeText(row), "???");
        EXPECT_EQ(list->track(row).deck, 0);
    }
    list->MeasureNext();
    EXPECT_EQ(Answer(1), (folder / "real.mp3").string());
    list->MeasureNext();
    EXPECT_EQ(Answer(1), "");
}

TEST_F(PlayListWindow, AddedFilesAlternateFromDeckBAndKeepTheSelection) {
    const fs::path folder = dir.path().toStdString();
    test::WriteFile(folder / "more.M3U", "one.mp3\ntwo.mp3\n");
    list->SetFileChooser([&folder] {
        return QStringList{"/m/x.mp3", "/m/y.ogg", QString::fromStdString(folder / "more.M3U"),
                           "/m/z.wav", "/m/w.wav"};
    });
    list->SetDeckChooser([] { return int(CTevDeckSelector::kSwitch); });
    list->AddFiles();
    // The list's entries go to Deck A in its place; the files alternate B, A, (list), A, B.
    EXPECT_EQ(Decks(), "BAAAAB");
    EXPECT_EQ(list->track(2).path, (folder / "one.mp3").string());
    EXPECT_EQ(list->selectedRow(), 0) << "nothing was selected: the first added row";
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_FILE_DIALOG_OPENING, 0, 0},
                                                  {WM_PLAYLIST_CHANGED, 0, 0},
                                                  {WM_FILE_DIALOG_CLOSED, 0, 0}}));
    list->SelectRow(3);
    list->SetDeckChooser([] { return int(CTevDeckSelector::kDeckB); });
    list->AddFiles();
    EXPECT_EQ(list->selectedRow(), 3);
    EXPECT_EQ(Decks(), "BAAAABBBAABB");
    list->SetDeckChooser([] { return -1; });
    mixer.Take();
    list->AddFiles();
    EXPECT_EQ(list->rowCount(), 12) << "cancelled";
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_FILE_DIALOG_OPENING, 0, 0},
                                                  {WM_FILE_DIALOG_CLOSED, 0, 0}}));
}

TEST_F(PlayListWindow, AFolderScanInsertsItsSoundFilesInPathOrderAfterTheRows) {
    const fs::path root = fs::path(dir.path().toStdString()) / "music";
    for (const char* name : {"b/one.MP3", "a/two.flac", "a/deep/three.Ogg", "x.mp", "notes.txt",
                             "z.wav", "a/cover.jpg", "c.mp3.part"}) {
        test::WriteFile(root / name, "");
    }
    fs::create_directory_symlink("..", root / "a" / "loop");  // a link back up: not followed
    AddTracks("A");
    list->SetFolderChooser([&root] { return QString::fromStdString(root.string()); });
    list->SetDeckChooser([] { return int(CTevDeckSelector::kSwitch); });
    list->AddFolder();
    EXPECT_TRUE(list->Scanning());
    // The mixer appends a file while the scan runs: the scanned files sort around it.
    list->AddTrack(0, (root / "b/zz.mp3").string(), -1, "");
    EXPECT_TRUE(list->findChild<QProgressBar*>()->isVisibleTo(list.get()));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (list->Scanning() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(list->Scanning());
    EXPECT_FALSE(list->findChild<QProgressBar*>()->isVisibleTo(list.get()));
    EXPECT_EQ(Paths(), (std::vector<std::string>{
                           "/m/0.mp3", (root / "a/deep/three.Ogg").string(),
                           (root / "a/two.flac").string(), (root / "b/one.MP3").string(),
                           (root / "b/zz.mp3").string(), (root / "z.wav").string()}));
    EXPECT_EQ(Decks(), "ABABAA") << "Switch: B, A, B, A in path order";
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_FILE_DIALOG_OPENING, 0, 0},
                                                  {WM_FILE_DIALOG_CLOSED, 0, 0},
                                                  {WM_PLAYLIST_CHANGED, 0, 0}}));
}

TEST_F(PlayListWindow, DroppedLocalSoundFilesGoToDeckA) {
    const fs::path folder = dir.path().toStdString();
    test::WriteFile(folder / "dropped.list.pls", "[playlist]\nFile1=in-list.mp3\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/m/dropped.FLAC"), QUrl("https://example.com/x.mp3"),
                  QUrl::fromLocalFile("/m/readme.txt"),
                  QUrl::fromLocalFile(QString::fromStdString(folder / "dropped.list.pls"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.get(), &drop);
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"/m/dropped.FLAC", (folder / "in-list.mp3").string()}));
    EXPECT_EQ(Decks(), "AA");
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_PLAYLIST_CHANGED, 0, 0}}));
}

TEST_F(PlayListWindow, AListOfFiveThousandTracksShowsAtOnce) {
    std::string text = "#EXTM3U\n";
    for (int i = 0; i < 5000; ++i) {
        text += "#EXTINF:" + std::to_string(i) + ",Title " + std::to_string(i) + "\n/m/" +
                std::to_string(i) + ".mp3\n";
    }
    const fs::path file = fs::path(dir.path().toStdString()) / "big.m3u";
    test::WriteFile(file, text);
    list->resize(400, 600);
    list->show();
    list->LoadPlayList(file.string());
    QCoreApplication::processEvents();
    QAbstractItemModel* model = list->view()->model();
    ASSERT_EQ(model->rowCount(), 5000);
    EXPECT_EQ(list->view()->verticalHeader()->count(), 5000);
    EXPECT_EQ(model->data(model->index(4999, 0)).toString(), "4999.mp3");
    EXPECT_EQ(model->data(model->index(4999, 1)).toString(), "83:19");
    list->SetDisplayMode(CTevPlayList2::kShowTag);
    EXPECT_EQ(model->data(model->index(2500, 0)).toString(), "Title 2500");
    list->hide();
}

TEST_F(PlayListWindow, SavesTheFilesAndSaysWhyASaveFailed) {
    const fs::path folder = dir.path().toStdString();
    AddTracks("AB");
    list->AddMediumTrack(0, "/dev/sr0", 1, 100, "CD");
    list->AddTrack(1, "/m/t.mp3", 90.5, "Named");
    QStringList told;
    list->SetMessageSink([&told](const QString& text) { told.append(text); });
    const fs::path good = folder / "saved.m3u";
    const fs::path bad = folder / "missing" / "saved.m3u";
    for (const fs::path& target : {good, bad}) {
        list->SetSaveNameChooser([&target] { return QString::fromStdString(target.string()); });
        mixer.Take();
        list->Save();
        EXPECT_EQ(list->windowTitle(), QString::fromStdString(target.string()));
        EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_FILE_DIALOG_OPENING, 0, 0},
                                                      {WM_FILE_DIALOG_CLOSED, 0, 0}}));
    }
    EXPECT_EQ(
        test::ReadFile(good),
        "#EXTM3U\n#EXTINF:-1,\n/m/0.mp3\n#EXTINF:-1,\n/m/1.mp3\n#EXTINF:90,Named\n/m/t.mp3\n");
    EXPECT_EQ(told, QStringList{"File Write Error: No such file or directory"});
}

TEST_F(PlayListWindow, AClickSelectsADoubleClickCuesAndLoads) {
    AddTracks("ABB");
    list->show();
    QTableView* view = list->view();
    const auto at = [view](int row) {
        return view->visualRect(view->model()->index(row, 0)).center();
    };
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(1));
    EXPECT_EQ(list->selectedRow(), 1);
    EXPECT_EQ(list->RowIcon(1), 7);
    // A double click is a click and then the double click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(2));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at(2));
    EXPECT_EQ(list->CuedTrackPath(1), "/m/2.mp3");
    EXPECT_EQ(list->RowIcon(2), 1);
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_LOAD_CUED_TRACK, 1, 0}}));
}

TEST_F(PlayListWindow, TakesTheKeysWhileActiveAndReportsItsClose) {
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(list.get(), &activate);
    EXPECT_EQ(keyboardEnabled.load(), 0);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(list.get(), &deactivate);
    EXPECT_EQ(keyboardEnabled.load(), 1);
    list->show();
    list->close();
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(mixer.Take(), (std::vector<Message>{{WM_PANEL_CLOSED, 0, CTevPlayList2::kResource}}));
}

}  // namespace
