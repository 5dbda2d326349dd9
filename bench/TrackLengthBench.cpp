// Five thousand listed files measured by the track-length loader, as a DJ's whole library dropped
// into the play list: the time until every row shows its length, and the longest the event loop
// went without running a 10 ms timer meanwhile (counters "longest_gap_ms" and "seconds").
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/EngineThreads.h"
#include "core/QtMessagePump.h"
#include "input/FileThreads.h"
#include "playlist/CTevPlayList2.h"

namespace {

using namespace tev;
using Clock = std::chrono::steady_clock;

constexpr int kTracks = 5000;
constexpr int kDistinctFiles = 20;

// Three seconds of 16-bit stereo at 44,100 Hz, each file a little longer than the one before.
void WriteWav(const std::string& path, uint32_t frames) {
    auto put32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<char*>(&v), 4); };
    auto put16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<char*>(&v), 2); };
    std::ofstream out(path, std::ios::binary);
    const uint32_t bytes = frames * 4;
    out.write("RIFF", 4);
    put32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, 2);
    put32(out, 44100);
    put32(out, 44100 * 4);
    put16(out, 4);
    put16(out, 16);
    out.write("data", 4);
    put32(out, bytes);
    const std::vector<char> silence(bytes, 0);
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

// Hands the loader's reports to the list, as the mixer does.
class LoaderReports : public MessageReceiver {
  public:
    explicit LoaderReports(CTevPlayList2& list) : list_(list) {}
    LRESULT OnAppMessage(uint32_t msg, WPARAM, LPARAM) override {
        if (msg == WM_TRACK_LENGTH_LOADED) {
            list_.OnTrackLengthLoaded();
            ++reports;
        }
        return 0;
    }

    int reports = 0;

  private:
    CTevPlayList2& list_;
};

bool AllMeasured(const CTevPlayList2& list) {
    for (int row = 0; row < list.rowCount(); ++row) {
        if (list.track(row).length < 0.0 && !list.track(row).unreadable) {
            return false;
        }
    }
    return true;
}

// Argument 0: WAV files written here. 1: the compressed sweeps of the test files (mp3, ogg,
// flac, m4a, wma, a few seconds each), found through TEV_FIXTURES.
void BM_MeasureFiveThousandFiles(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string root = QFile::encodeName(dir.path()).toStdString();
    std::vector<std::string> files;
    if (state.range(0) == 0) {
        for (int i = 0; i < kDistinctFiles; ++i) {
            files.push_back(root + "/source " + std::to_string(i) + ".wav");
            WriteWav(files.back(), 3 * 44100 + static_cast<uint32_t>(i) * 100);
        }
    } else {
        const char* fixtures = std::getenv("TEV_FIXTURES");
        for (const char* name :
             {"sweep.mp3", "sweep.ogg", "sweep.flac", "sweep.m4a", "sweep.wma"}) {
            const std::string path = std::string(fixtures != nullptr ? fixtures : "") + "/" + name;
            if (fixtures == nullptr || ::access(path.c_str(), R_OK) != 0) {
                state.SkipWithError("set TEV_FIXTURES to the test files' folder");
                return;
            }
            files.push_back(path);
        }
    }
    // Every listed file is a file of its own name, as in a library: hard links to the few
    // written, so that the bench does not need gigabytes of disk.
    std::vector<std::string> paths;
    for (int i = 0; i < kTracks; ++i) {
        const std::string folder = root + "/album " + std::to_string(i / 12);
        QDir().mkpath(QString::fromStdString(folder));
        const std::string& file = files[static_cast<size_t>(i) % files.size()];
        paths.push_back(folder + "/track " + std::to_string(i) + file.substr(file.rfind('.')));
        // A symbolic link where the test files lie on another file system.
        if (::link(file.c_str(), paths.back().c_str()) != 0 &&
            ::symlink(file.c_str(), paths.back().c_str()) != 0) {
            state.SkipWithError("cannot link the files");
            return;
        }
    }

    QtMessagePump pump;
    SetMessagePump(&pump);
    SetTrackInfoReader(ReadTrackInfo);
    StartTrackLengthLoader();
    double longestGap = 0.0;
    double seconds = 0.0;
    for (auto _ : state) {
        CTevPlayList2 list;
        LoaderReports reports(list);
        hMixerWnd.Attach(&reports);
        auto last = Clock::now();
        double gap = 0.0;
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            gap = std::max(gap, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        });
        ticks.start(10);
        const auto start = Clock::now();
        for (const std::string& path : paths) {
            list.AddTrack(0, path, -1.0, {});
        }
        list.MeasureNext();
        // Each file has a name of its own: one report each.
        while (reports.reports < kTracks) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!AllMeasured(list)) {
            state.SkipWithError("a file was left unmeasured");
        }
        longestGap = std::max(longestGap, gap);
        hMixerWnd.Attach(nullptr);
    }
    SignalLongLivedThreadsToStop();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SetMessagePump(nullptr);
    state.counters["seconds"] = seconds;
    state.counters["longest_gap_ms"] = longestGap;
}
BENCHMARK(BM_MeasureFiveThousandFiles)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

namespace {
void BM_ReadTrackInfoOfAShortWav(benchmark::State& state) {
    QTemporaryDir dir;
    std::string path = QFile::encodeName(dir.filePath("a.wav")).toStdString();
    WriteWav(path, 3 * 44100);
    if (getenv("TEV_FILE"))
        path = getenv("TEV_FILE");
    for (auto _ : state) {
        tev::TrackInfo info;
        benchmark::DoNotOptimize(tev::ReadTrackInfo(path, info));
    }
}
BENCHMARK(BM_ReadTrackInfoOfAShortWav)->Unit(benchmark::kMillisecond);
}  // namespace
