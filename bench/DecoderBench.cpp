// The decoder against its references, measured in the same run: the ffmpeg command decoding the
// same files, and ffprobe measuring the same lengths. Files come from
// scripts/make-fixtures.sh DIR --long, found through TEV_FIXTURES.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "core/RingProducer.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"
#include "platform/MessageLayer.h"

extern char** environ;

namespace {

using namespace tev;
using Clock = std::chrono::steady_clock;

std::string Fixture(const std::string& name) {
    const char* dir = std::getenv("TEV_FIXTURES");
    return std::string(dir != nullptr ? dir : "build/fixtures") + "/" + name;
}

// Runs a command quietly; its wall time in seconds, or a negative number when it failed.
double TimeCommand(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1.0;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Decodes a whole file; its length in seconds.
double DecodeWhole(const std::string& path, std::vector<uint8_t>& chunk) {
    TrackDecoder decoder;
    if (decoder.Open(path) != S_OK) {
        return -1.0;
    }
    const double rate = decoder.SampleRate();
    double frames = 0;
    for (;;) {
        uint32_t bytes = 0;
        bool end = false;
        decoder.Read(0, chunk.data(), bytes, end);
        frames += kChunkFrames;
        if (end) {
            return frames / rate;
        }
    }
}

// Our decoding and the ffmpeg command's decoding to raw 16-bit PCM, of the same file, as
// multiples of real time; ratio > 1 means we are faster.
void BM_DecodeAgainstFfmpegCommand(benchmark::State& state, const char* name) {
    const std::string path = Fixture(std::string("long/") + name);
    std::vector<uint8_t> chunk(kChunkBytes);
    double ours = 0;
    double theirs = 0;
    double audio = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const double seconds = DecodeWhole(path, chunk);
        ours += std::chrono::duration<double>(Clock::now() - start).count();
        const double command = TimeCommand({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f",
                                            "s16le", "-ac", "2", "-y", "/dev/null"});
        if (seconds <= 0 || command <= 0) {
            state.SkipWithError("decoding failed (is the ffmpeg command installed?)");
            return;
        }
        theirs += command;
        audio += seconds;
    }
    state.counters["ours_x_realtime"] = audio / ours;
    state.counters["ffmpeg_x_realtime"] = audio / theirs;
    state.counters["ratio"] = theirs / ours;
}
BENCHMARK_CAPTURE(BM_DecodeAgainstFfmpegCommand, mp3, "music.mp3")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_DecodeAgainstFfmpegCommand, ogg, "music.ogg")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_DecodeAgainstFfmpegCommand, wav, "music.wav")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

class Discard : public MessageReceiver {
  public:
    LRESULT OnAppMessage(uint32_t msg, WPARAM, LPARAM) override {
        primed = primed || msg == WM_DECK_PRIMED;
        return 0;
    }
    bool primed = false;
};

// From the open of a 44.1 kHz mp3 to the deck being primed (121 chunks in the ring), through
// the real open thread, reader thread and messages. Budget: 40 ms.
void BM_OpenToPrimedMp3(benchmark::State& state) {
    ResetEngineState();
    QueueMessagePump pump;
    SetMessagePump(&pump);
    Discard mixer;
    hMixerWnd.Attach(&mixer);
    const std::string path = Fixture("long/music.mp3");
    for (auto _ : state) {
        mixer.primed = false;
        if (!OpenFileIntoDeck(0, path)) {
            state.SkipWithError("cannot open the mp3");
            break;
        }
        StartFileReader(0);
        pump.PumpUntil([&] { return mixer.primed; }, std::chrono::seconds(10));
        state.PauseTiming();
        StopReader(0, ReaderKind::File, false);
        state.ResumeTiming();
    }
    hMixerWnd.Detach(&mixer);
    pump.Close();
    SetMessagePump(nullptr);
    trackDecoder[0].Close();
}
BENCHMARK(BM_OpenToPrimedMp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// Lengths of 200 files of mixed formats, against ffprobe on the same files.
void BM_TrackLengthsAgainstFfprobe(benchmark::State& state) {
    const char* kinds[] = {"sweep.wav",  "sweep.mp3", "sweep.ogg",     "sweep.wma",
                           "sweep.flac", "sweep.m4a", "vbr-noxing.mp3"};
    std::vector<std::string> files;
    for (int i = 0; i < 200; ++i) {
        files.push_back(Fixture(kinds[i % 7]));
    }
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        for (const std::string& file : files) {
            TrackInfo info;
            benchmark::DoNotOptimize(ReadTrackInfo(file, info));
        }
        ours += std::chrono::duration<double>(Clock::now() - start).count();
        for (const std::string& file : files) {
            const double t = TimeCommand({"ffprobe", "-v", "error", "-show_entries",
                                          "format=duration", "-of", "csv=p=0", file});
            if (t < 0) {
                state.SkipWithError("ffprobe failed");
                return;
            }
            theirs += t;
        }
    }
    const auto n = static_cast<double>(files.size() * state.iterations());
    state.counters["ours_files_per_s"] = n / ours;
    state.counters["ffprobe_files_per_s"] = n / theirs;
    state.counters["ratio"] = theirs / ours;
}
BENCHMARK(BM_TrackLengthsAgainstFfprobe)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// Heap in use while decoding, after 60 s and after 120 s of a file: it must not grow with the
// file's length.
void BM_DecodingMemoryDoesNotGrow(benchmark::State& state) {
    std::vector<uint8_t> chunk(kChunkBytes);
    double early = 0;
    double late = 0;
    for (auto _ : state) {
        TrackDecoder decoder;
        decoder.Open(Fixture("long/music.mp3"));
        for (int i = 0;; ++i) {
            uint32_t bytes = 0;
            bool end = false;
            decoder.Read(0, chunk.data(), bytes, end);
            if (i == 900) {
                early = static_cast<double>(mallinfo2().uordblks);
            }
            if (end) {
                break;
            }
            if (i == 1790) {
                late = static_cast<double>(mallinfo2().uordblks);
            }
        }
    }
    state.counters["heap_kb_at_60s"] = early / 1024;
    state.counters["heap_kb_at_120s"] = late / 1024;
    state.counters["growth_kb"] = (late - early) / 1024;
}
BENCHMARK(BM_DecodingMemoryDoesNotGrow)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
