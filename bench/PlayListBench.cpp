// Five thousand tracks into the play list window until the view can show every row: a long
// list file loaded, tracks added one by one as the mixer or the command line adds them, and a
// folder scanned. Each must take well under half a second.
#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "playlist/CTevPlayList2.h"

namespace {

using namespace tev;

constexpr int kTracks = 5000;

// Every row's text, time and icon, as a view asks for them when it lays the rows out.
void ReadEveryRow(CTevPlayList2& list) {
    QAbstractItemModel* model = list.view()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        benchmark::DoNotOptimize(model->data(model->index(row, 0)));
        benchmark::DoNotOptimize(model->data(model->index(row, 0), Qt::DecorationRole));
        benchmark::DoNotOptimize(model->data(model->index(row, 1)));
    }
    QCoreApplication::processEvents();
}

void Empty(CTevPlayList2& list) {
    list.SetConfirmation([](const QString&) { return true; });
    list.DeleteAll();
    QCoreApplication::processEvents();
}

void BM_LoadListOfFiveThousand(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string file = QFile::encodeName(dir.filePath("big.m3u")).toStdString();
    {
        std::ofstream out(file);
        out << "#EXTM3U\n";
        for (int i = 0; i < kTracks; ++i) {
            out << "#EXTINF:" << i << ",Title " << i << "\n/music/album " << i / 12 << "/track "
                << i << ".mp3\n";
        }
    }
    CTevPlayList2 list;
    list.show();
    for (auto _ : state) {
        list.LoadPlayList(file);
        ReadEveryRow(list);
        state.PauseTiming();
        Empty(list);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadListOfFiveThousand)->Unit(benchmark::kMillisecond);

void BM_AddFiveThousandTracks(benchmark::State& state) {
    CTevPlayList2 list;
    list.show();
    for (auto _ : state) {
        for (int i = 0; i < kTracks; ++i) {
            list.AddTrack(i % 2, "/music/track " + std::to_string(i) + ".mp3", -1.0, "");
        }
        ReadEveryRow(list);
        state.PauseTiming();
        Empty(list);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddFiveThousandTracks)->Unit(benchmark::kMillisecond);

// Includes the 4 ms between the batches the window inserts.
void BM_ScanFolderOfFiveThousand(benchmark::State& state) {
    QTemporaryDir dir;
    for (int album = 0; album < kTracks / 10; ++album) {
        const QString folder = QStringLiteral("album %1").arg(album);
        QDir(dir.path()).mkpath(folder);
        for (int i = 0; i < 10; ++i) {
            QFile(dir.filePath(folder + QStringLiteral("/track %1.mp3").arg(i)))
                .open(QIODevice::WriteOnly);
        }
    }
    CTevPlayList2 list;
    list.show();
    list.SetFolderChooser([&dir] { return dir.path(); });
    list.SetDeckChooser([] { return 2; });  // Switch
    for (auto _ : state) {
        list.AddFolder();
        while (list.Scanning()) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ReadEveryRow(list);
        state.PauseTiming();
        if (list.rowCount() != kTracks) {
            state.SkipWithError("the scan missed files");
        }
        Empty(list);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScanFolderOfFiveThousand)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
