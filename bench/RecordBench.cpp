// Recording's cost. On the audio thread: rendering two playing buffers on the main pair with and
// without a recording tap, as multiples of real time. On the writer thread: the CPU time it takes
// to encode and write a second of audio as FLAC at the default compression level, for tones (like
// music) and for white noise (the worst case).
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "output/Recorder.h"
#include "platform/SoundCard.h"

namespace {

using namespace tev;

constexpr int kBlock = 512;  // about 12 ms, a typical device block

// A stereo card with two looping buffers of `noise` or of two tones each.
std::shared_ptr<ManualClockCard> PlayingCard(bool noise) {
    auto card = std::make_shared<ManualClockCard>(2);
    for (int b = 0; b < 2; ++b) {
        std::vector<int16_t> samples(2 * 441000);
        uint32_t x = 99U + static_cast<uint32_t>(b);
        for (size_t i = 0; i < samples.size(); ++i) {
            const double t = static_cast<double>(i / 2) / 44100.0;
            x = x * 1664525U + 1013904223U;
            samples[i] =
                noise ? static_cast<int16_t>(static_cast<int32_t>(x >> 16) / 3)
                      : static_cast<int16_t>(6000 * std::sin(2 * M_PI * (220 + 110 * b) * t) +
                                             3000 * std::sin(2 * M_PI * 1375.0 * t));
        }
        const auto bytes = static_cast<uint32_t>(samples.size() * 2);
        SoundBuffer* buffer = card->Output(0)->CreateBuffer(bytes, 44100);
        buffer->Write(0, samples.data(), bytes);
        buffer->Play(true);
    }
    return card;
}

void BM_RenderWithRecordingTap(benchmark::State& state) {
    auto card = PlayingCard(false);
    RecordingTap tap(4 * 44100);
    std::vector<float> sink(2 * static_cast<size_t>(tap.capacity()));
    const bool recording = state.range(0) == 1;
    if (recording) {
        card->Output(0)->SetRecordingTap(&tap);
    }
    std::vector<float> out(2 * kBlock);
    int64_t frames = 0;
    for (auto _ : state) {
        card->RenderInto(out);
        benchmark::DoNotOptimize(out.data());
        frames += kBlock;
        // The writer's side, on this thread: a thread spinning on the FIFO of a render running
        // a thousand times faster than real time measures cache traffic, not recording. Its
        // copy out is counted here, so the difference is an upper bound of the push alone.
        if (recording && frames % (256 * kBlock) == 0) {
            tap.Pop(sink.data(), tap.Available());
        }
    }
    card->Output(0)->SetRecordingTap(nullptr);
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
    state.counters["dropped_frames"] = static_cast<double>(tap.LostFrames());
}
BENCHMARK(BM_RenderWithRecordingTap)->Arg(0)->Arg(1);

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Ten seconds of audio per iteration; the writer's CPU is the process's less this thread's.
void BM_RecorderWriterFlac(benchmark::State& state) {
    auto card = PlayingCard(state.range(0) == 1);
    const std::string folder = std::filesystem::temp_directory_path() / "tev-record-bench";
    std::vector<float> out(2 * kBlock);
    double writerCpu = 0.0;
    double audioSeconds = 0.0;
    for (auto _ : state) {
        Recorder recorder;
        std::string error;
        if (!recorder.Start(card->Output(0), folder, RecordingFormat::Flac, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double self = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        for (int frames = 0; frames < 10 * 44100; frames += kBlock) {
            card->RenderInto(out);
            while (recorder.Status().framesPending > 44100) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        recorder.Stop();
        writerCpu += (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process) -
                     (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - self);
        audioSeconds += 10.0;
        if (recorder.Status().framesLost != 0) {
            state.SkipWithError("the writer fell behind");
        }
        std::filesystem::remove_all(folder);
    }
    state.counters["writer_ms_per_audio_s"] = 1000.0 * writerCpu / audioSeconds;
}
BENCHMARK(BM_RecorderWriterFlac)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
