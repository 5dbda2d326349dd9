// Start-up and memory of the whole program.
//
// BM_StartUp runs the built program (TEV_REPORT_READY=close) from exec until it reports its
// panels shown and its sound device open, with its images beside it, and again from a copy of it
// without the splash image. The program's resident memory at that moment is the "idle" figure.
// BM_ResidentMemoryTwoDecksPlaying builds the same windows in this process and plays a file on
// each deck for two seconds.
//
// Run with a display (Xvfb is fine) or QT_QPA_PLATFORM=offscreen, and with TEV_FIXTURES naming
// the folder of scripts/make-fixtures.sh for the second benchmark.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/QtMessagePump.h"
#include "decks/CTevAudioDlg.h"
#include "decks/CTevDeck2.h"
#include "input/FileThreads.h"
#include "output/CTevMixer.h"
#include "platform/CpuUsageMeter.h"

extern char** environ;

namespace {

using namespace tev;

// The program beside this benchmark's folder: build/bench/.. holds build/tevaudio.
QString ProgramFolder() {
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).absolutePath();
}

// Runs the program until its ready line; returns the seconds from exec to the line and the
// resident KiB it names, or a negative time when it did not report.
double RunOnce(const std::string& program, uint64_t& residentKiB) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1.0;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t child = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    double seconds = -1.0;
    if (spawned == 0) {
        FILE* out = fdopen(pipeFds[0], "r");
        char line[4096];
        if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            unsigned long long kib = 0;
            if (std::sscanf(line, "TevAudio ready: %llu KiB", &kib) == 1) {
                residentKiB = kib;
            } else {
                seconds = -1.0;
            }
        }
        if (out != nullptr) {
            std::fclose(out);
        } else {
            close(pipeFds[0]);
        }
        int status = 0;
        waitpid(child, &status, 0);
    } else {
        close(pipeFds[0]);
    }
    return seconds;
}

void StartUp(benchmark::State& state, bool splash) {
    // A fresh settings folder: the first start, as a new user has it, and no tip of the day.
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    setenv("TEV_REPORT_READY", "close", 1);
    setenv("TEV_NO_TIPS", "1", 1);
    QTemporaryDir copy;
    std::string program =
        QFile::encodeName(ProgramFolder() + QStringLiteral("/tevaudio")).toStdString();
    if (!splash) {
        // The program and its images, but no splash image.
        const QDir from(ProgramFolder());
        for (const QString& name : from.entryList({QStringLiteral("*.png")}, QDir::Files)) {
            if (name != QStringLiteral("TevAudioSplashScreen.png")) {
                QFile::copy(from.filePath(name), QDir(copy.path()).filePath(name));
            }
        }
        const QString target = QDir(copy.path()).filePath(QStringLiteral("tevaudio"));
        QFile::copy(from.filePath(QStringLiteral("tevaudio")), target);
        program = QFile::encodeName(target).toStdString();
    }
    uint64_t residentKiB = 0;
    for (auto _ : state) {
        const double seconds = RunOnce(program, residentKiB);
        if (seconds < 0) {
            state.SkipWithError("the program did not report ready");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["resident_MiB"] = static_cast<double>(residentKiB) / 1024.0;
    unsetenv("TEV_REPORT_READY");
}

void BM_StartUp(benchmark::State& state) {
    StartUp(state, true);
}
BENCHMARK(BM_StartUp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartUpWithoutSplash(benchmark::State& state) {
    StartUp(state, false);
}
BENCHMARK(BM_StartUpWithoutSplash)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void Pump(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void BM_ResidentMemoryTwoDecksPlaying(benchmark::State& state) {
    const char* fixtures = std::getenv("TEV_FIXTURES");
    if (fixtures == nullptr) {
        state.SkipWithError("TEV_FIXTURES is not set");
        return;
    }
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()).constData(), 1);
    ResetEngineState();
    QtMessagePump pump;
    SetMessagePump(&pump);
    SetTrackInfoReader(ReadTrackInfo);
    uint64_t residentKiB = 0;
    {
        CTevAudioDlg dialog;
        dialog.SetMessageSink([](const QString&) {});
        dialog.OnInitDialog();
        const std::string folder(fixtures);
        for (auto _ : state) {
            for (int d = 0; d < kDeckCount; ++d) {
                CTevDeck2& deck = *dialog.mixer()->deck(d);
                deck.LoadFile(folder + (d == 0 ? "/sweep.mp3" : "/sweep.ogg"));
                Pump(500);
                deck.PlayPause(false);
            }
            Pump(2000);
            residentKiB = ResidentKilobytes();
            if (!dialog.mixer()->deck(0)->IsPlaying() || !dialog.mixer()->deck(1)->IsPlaying()) {
                state.SkipWithError("the decks did not play");
            }
            for (int d = 0; d < kDeckCount; ++d) {
                dialog.mixer()->deck(d)->PlayPause(true);
            }
            Pump(200);
        }
        SendAppMessage(hMainWnd, WM_CLOSE);
    }
    SetTrackInfoReader(nullptr);
    SetMessagePump(nullptr);
    state.counters["resident_MiB"] = static_cast<double>(residentKiB) / 1024.0;
}
BENCHMARK(BM_ResidentMemoryTwoDecksPlaying)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
