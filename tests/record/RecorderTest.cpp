#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "decoder/DecoderRig.h"
#include "output/Recorder.h"
#include "platform/SoundCard.h"
#include "record/DecodeFile.h"
#include "support/AllocationCounter.h"

using namespace tev;
using tev::test::Decode;
using tev::test::Decoded;

namespace {

// A four-channel card whose main pair (the front, or the rear) plays two loud noises (their sum
// clips) and whose monitor pair plays a third; every run of it renders the same samples.
struct Scene {
    explicit Scene(uint32_t rate = 44100, int channels = 4, int mainPair = 0)
        : card(std::make_shared<ManualClockCard>(channels, rate)),
          mainPair(mainPair),
          monitorPair(channels == 4 ? 1 - mainPair : 0) {
        for (int i = 0; i < 3; ++i) {
            SoundDevice* device = card->Output(i < 2 ? mainPair : monitorPair);
            std::vector<int16_t> noise(2 * 200000);
            uint32_t x = 12345U + 777U * static_cast<uint32_t>(i);
            for (auto& s : noise) {
                x = x * 1664525U + 1013904223U;
                s = static_cast<int16_t>(x >> 16);
            }
            const auto bytes = static_cast<uint32_t>(noise.size() * 2);
            SoundBuffer* buffer = device->CreateBuffer(bytes, rate);
            buffer->Write(0, noise.data(), bytes);
            buffer->Play(true);
        }
    }
    SoundDevice* main() const { return card->Output(mainPair); }
    // Renders `frames` and keeps the main pair's samples as a recording holds them.
    void Render(int frames) { Keep(card->Render(frames)); }
    // The same, returning the allocations the render made.
    int RenderCountingAllocations(int frames) {
        std::vector<float> out(static_cast<size_t>(frames * card->channels()));
        test::StartCountingAllocations();
        card->RenderInto(out);
        const int allocations = test::StopCountingAllocations();
        Keep(out);
        return allocations;
    }
    void Keep(const std::vector<float>& out) {
        const auto channels = static_cast<size_t>(card->channels());
        for (size_t f = 0; f < out.size() / channels; ++f) {
            for (size_t c = 0; c < 2; ++c) {
                heard.push_back(RecordingSample(out[f * channels + 2 * mainPair + c]));
                monitor.push_back(RecordingSample(out[f * channels + 2 * monitorPair + c]));
            }
        }
    }
    std::shared_ptr<ManualClockCard> card;
    const size_t mainPair;
    const size_t monitorPair;
    std::vector<int16_t> heard;    // main pair
    std::vector<int16_t> monitor;  // monitor pair
};

// Waits until the recording's status meets `done`; fails after a long while rather than hang.
template <class Predicate>
void WaitUntil(Recorder& recorder, Predicate done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done(recorder.Status())) {
        ASSERT_LT(std::chrono::steady_clock::now(), end) << "the writer does not get there";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Waits until the writer has taken everything from the FIFO, or has stopped on an error.
void WaitWritten(Recorder& recorder) {
    WaitUntil(recorder, [](const RecordingStatus& status) {
        return status.framesPending == 0 || !status.error.empty();
    });
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<int16_t> Slice(const std::vector<int16_t>& s, size_t from, size_t to) {
    return {s.begin() + static_cast<ptrdiff_t>(2 * from),
            s.begin() + static_cast<ptrdiff_t>(2 * to)};
}

Recorder::Options SmallFifo(std::function<void()> hook = {}) {
    Recorder::Options options;
    options.fifoSeconds = 4000.0 / 44100.0;  // 4,096 frames
    options.beforeWrite = std::move(hook);
    return options;
}

class Lossless : public ::testing::TestWithParam<RecordingFormat> {};

}  // namespace

// The main pair's mix, clipped where the two noises overflow, is in the file sample for sample,
// after the FIFO wrapped many times over blocks of every size; the monitor pair is not. The main
// output on the front pair, then on the rear pair of a split card.
TEST_P(Lossless, TheFileHoldsTheMainPairSampleForSample) {
    for (const int mainPair : {0, 1}) {
        SCOPED_TRACE(mainPair == 0 ? "main on the front pair" : "main on the rear pair");
        test::TempDir dir;
        Scene scene(44100, 4, mainPair);
        Recorder recorder(SmallFifo());
        std::string error;
        scene.Render(1000);  // before the recording
        ASSERT_TRUE(recorder.Start(scene.main(), dir.path, GetParam(), error)) << error;
        const size_t from = scene.heard.size() / 2;
        for (const int frames : {1, 441, 4095, 4096, 3000, 1000}) {
            for (int i = 0; i < 7; ++i) {
                scene.Render(frames);
                WaitWritten(recorder);
            }
        }
        recorder.Stop();
        scene.Render(500);  // after it
        const RecordingStatus status = recorder.Status();
        EXPECT_FALSE(status.recording);
        EXPECT_EQ(status.error, "");
        EXPECT_EQ(status.gaps, 0);
        EXPECT_FALSE(std::filesystem::exists(status.path + ".gaps.txt"));
        const Decoded file = Decode(status.path);
        ASSERT_TRUE(file.opened);
        EXPECT_EQ(file.rate, 44100);
        const size_t to = scene.heard.size() / 2 - 500;
        EXPECT_EQ(status.framesWritten, to - from);
        ASSERT_EQ(file.frames(), to - from);
        EXPECT_EQ(file.declaredFrames, static_cast<int64_t>(file.frames()));
        EXPECT_TRUE(file.samples == Slice(scene.heard, from, to)) << "the main pair, exactly";
        EXPECT_FALSE(file.samples == Slice(scene.monitor, from, to));
    }
}

// A stalled writer: blocks that do not fit are dropped and the sound goes on exactly as without
// a recording; the file has what fitted, a gap where the rest was, then what came after.
TEST_P(Lossless, AStalledWriterLeavesTheSoundAloneAndTheRecordingAMarkedGap) {
    test::TempDir dir;
    Scene plain;
    Scene scene;
    std::atomic<bool> hold{true};
    Recorder recorder(SmallFifo([&hold] { hold.wait(true); }));
    std::string error;
    ASSERT_TRUE(recorder.Start(scene.main(), dir.path, GetParam(), error)) << error;
    EXPECT_EQ(scene.RenderCountingAllocations(3000), 0);  // fits
    EXPECT_EQ(scene.RenderCountingAllocations(3000), 0) << "is lost: dropping allocates nothing";
    scene.Render(2000);  // is lost as well
    scene.Render(1000);  // fits again, after the gap
    EXPECT_EQ(recorder.Status().framesLost, 5000U);
    hold = false;
    hold.notify_all();
    WaitWritten(recorder);
    for (int i = 0; i < 2; ++i) {  // past the FIFO's end
        scene.Render(2500);
        WaitWritten(recorder);
    }
    recorder.Stop();
    plain.Render(14000);
    EXPECT_TRUE(scene.heard == plain.heard) << "the sound is the same as without recording";

    const RecordingStatus status = recorder.Status();
    EXPECT_EQ(status.gaps, 1);
    EXPECT_EQ(status.framesLost, 5000U);
    EXPECT_EQ(status.error, "");
    const auto lines = Lines(status.path + ".gaps.txt");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0],
              "0:00:00.068 (frame 3000): 0.113 s (5000 frames) missing, writing fell behind");
    const Decoded file = Decode(status.path);
    ASSERT_TRUE(file.opened);
    auto expected = Slice(scene.heard, 0, 3000);
    const auto after = Slice(scene.heard, 8000, 14000);
    expected.insert(expected.end(), after.begin(), after.end());
    ASSERT_EQ(file.frames(), 9000U);
    EXPECT_TRUE(file.samples == expected);
}

// A file that may not grow further (the file-size limit stands in for a full disk): the
// recording stops with a message; the file opens and holds exactly what was written before.
TEST_P(Lossless, AWriteErrorStopsWithAMessageAndAPlayableFile) {
    test::TempDir dir;
    Scene scene;
    Recorder recorder(SmallFifo());
    std::string error;
    ASSERT_TRUE(recorder.Start(scene.main(), dir.path, GetParam(), error)) << error;
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = 200000;  // 200 kB: past the header, within a second of noise
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    RecordingStatus status;
    for (int i = 0; i < 100 && status.error.empty(); ++i) {
        scene.Render(2000);
        WaitWritten(recorder);
        status = recorder.Status();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(status.recording);
    EXPECT_NE(status.error.find("the file has reached the largest size allowed"), std::string::npos)
        << status.error;
    EXPECT_NE(status.error.find(status.path), std::string::npos);
    EXPECT_LE(std::filesystem::file_size(status.path), 200000U);
    const Decoded file = Decode(status.path);
    ASSERT_TRUE(file.opened);
    ASSERT_GT(status.framesWritten, 0U);
    ASSERT_EQ(file.frames(), status.framesWritten);
    EXPECT_EQ(file.declaredFrames, static_cast<int64_t>(file.frames())) << "the header's length";
    if (GetParam() == RecordingFormat::Wav) {
        // Strict players trust the RIFF size, which FFmpeg's reader forgives.
        const std::string bytes = test::ReadFile(status.path);
        uint32_t riff = 0;
        std::memcpy(&riff, bytes.data() + 4, 4);
        EXPECT_EQ(riff, bytes.size() - 8);
    }
    EXPECT_TRUE(file.samples == Slice(scene.heard, 0, file.frames()));
    recorder.Stop();  // after the error: nothing to do, and the status stays
    EXPECT_EQ(recorder.Status().error, status.error);
}

INSTANTIATE_TEST_SUITE_P(Formats, Lossless,
                         ::testing::Values(RecordingFormat::Flac, RecordingFormat::Wav),
                         [](const auto& info) { return RecordingExtension(info.param); });

// The main output moves to another card mid-recording, after the FIFO has wrapped, and the old
// card is gone before the recorder hears of it: the recording goes on there after a marked gap.
// A card at another rate finishes the file and starts a new one.
TEST(Recorder, ADeviceChangeResumesOnTheNewDeviceAfterAMarkedGap) {
    test::TempDir dir;
    auto first = std::make_unique<Scene>();
    Recorder recorder(SmallFifo());
    std::string error;
    ASSERT_TRUE(recorder.Start(first->main(), dir.path, RecordingFormat::Flac, error)) << error;
    for (int i = 0; i < 5; ++i) {
        first->Render(3000);
        WaitWritten(recorder);
    }
    const std::vector<int16_t> before = first->heard;
    first.reset();
    Scene second(44100, 2);
    recorder.FollowDevice(second.main());
    for (int i = 0; i < 2; ++i) {
        second.Render(3500);
        WaitWritten(recorder);
    }
    EXPECT_EQ(second.RenderCountingAllocations(100), 0);

    Scene third(48000, 2);
    recorder.FollowDevice(third.main());
    third.Render(4800);
    WaitWritten(recorder);
    const RecordingStatus next = recorder.Status();
    recorder.Stop();

    const std::string path = dir.path + "/" + std::filesystem::path(next.path).filename().string();
    EXPECT_NE(next.note.find("48000 Hz"), std::string::npos) << next.note;
    EXPECT_TRUE(next.recording);
    const auto entries = std::distance(std::filesystem::directory_iterator(dir.path),
                                       std::filesystem::directory_iterator{});
    EXPECT_EQ(entries, 3) << "two recordings and one gap list";
    std::string firstPath;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        if (entry.path().extension() == ".flac" && entry.path().string() != next.path) {
            firstPath = entry.path().string();
        }
    }
    const auto lines = Lines(firstPath + ".gaps.txt");
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(lines[0],
              "0:00:00.340 (frame 15000): the main output changed device, what it played "
              "meanwhile is missing");
    const Decoded a = Decode(firstPath);
    auto expected = before;
    expected.insert(expected.end(), second.heard.begin(), second.heard.end());
    ASSERT_EQ(a.frames(), 15000U + 7100U);
    EXPECT_TRUE(a.samples == expected);
    const Decoded b = Decode(next.path);
    EXPECT_EQ(b.rate, 48000);
    EXPECT_TRUE(b.samples == third.heard);
    EXPECT_FALSE(std::filesystem::exists(next.path + ".gaps.txt"));
}

// Two cards with audio threads of their own: the tap passes from one thread to the other while
// both run, and the writer drains it all along.
TEST(Recorder, TheTapPassesBetweenRunningAudioThreads) {
    test::TempDir dir;
    auto first = std::make_unique<NullCard>(2);
    NullCard second(2);
    Recorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Start(first->Output(0), dir.path, RecordingFormat::Flac, error)) << error;
    WaitUntil(recorder, [](const RecordingStatus& s) { return s.framesWritten > 10000; });
    recorder.FollowDevice(second.Output(0));
    first.reset();
    const uint64_t before = recorder.Status().framesWritten;
    WaitUntil(recorder,
              [before](const RecordingStatus& s) { return s.framesWritten > before + 10000; });
    recorder.Stop();
    const RecordingStatus status = recorder.Status();
    EXPECT_EQ(status.error, "");
    // A machine too busy to write for seconds adds gaps of its own; the device change is one.
    const auto lines = Lines(status.path + ".gaps.txt");
    EXPECT_EQ(static_cast<int>(lines.size()), status.gaps);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("changed device") != std::string::npos;
                            }),
              1);
    const Decoded file = Decode(status.path);
    ASSERT_TRUE(file.opened);
    EXPECT_EQ(file.frames(), status.framesWritten);
}

// The folder deleted under a recording: it stops and says so.
TEST(Recorder, AFolderThatVanishesStopsTheRecordingWithAMessage) {
    test::TempDir dir;
    Scene scene;
    Recorder recorder;
    std::string error;
    const std::string folder = dir.path + "/sets";
    ASSERT_TRUE(recorder.Start(scene.main(), folder, RecordingFormat::Flac, error)) << error;
    scene.Render(10000);
    WaitWritten(recorder);
    std::filesystem::remove_all(folder);
    scene.Render(10000);
    WaitUntil(recorder, [](const RecordingStatus& s) { return !s.error.empty(); });
    const RecordingStatus status = recorder.Status();
    EXPECT_FALSE(status.recording);
    EXPECT_EQ(status.error, "Recording stopped: the folder is gone (" + status.path + ").");
}

// What cannot start says why, and leaves nothing behind.
TEST(Recorder, AStartThatCannotBeMadeSaysWhy) {
    test::TempDir dir;
    Scene scene;
    Recorder recorder;
    std::string error;
    std::ofstream(dir.path + "/file") << "x";
    EXPECT_FALSE(recorder.Start(scene.main(), dir.path + "/file", RecordingFormat::Wav, error));
    EXPECT_NE(error.find("Cannot record into " + dir.path + "/file"), std::string::npos) << error;
    EXPECT_FALSE(recorder.Start(scene.main(), dir.path + "/file/sub", RecordingFormat::Wav, error));
    EXPECT_NE(error.find("Cannot record into"), std::string::npos) << error;
    EXPECT_FALSE(recorder.Start(scene.main(), "", RecordingFormat::Wav, error));
    EXPECT_EQ(error, "No folder is chosen for recordings.");
    EXPECT_FALSE(recorder.Start(nullptr, dir.path, RecordingFormat::Wav, error));
    EXPECT_NE(error.find("no main output"), std::string::npos) << error;
    EXPECT_FALSE(recorder.Status().recording);
    // A folder that does not exist yet is made; two recordings in one second get two names.
    ASSERT_TRUE(recorder.Start(scene.main(), dir.path + "/new/deep", RecordingFormat::Wav, error));
    const std::string one = recorder.Status().path;
    ASSERT_TRUE(recorder.Start(scene.main(), dir.path + "/new/deep", RecordingFormat::Wav, error));
    const std::string two = recorder.Status().path;
    recorder.Stop();
    EXPECT_NE(one, two);
    EXPECT_TRUE(std::filesystem::exists(one));
    EXPECT_TRUE(std::filesystem::exists(two));
}

TEST(Recorder, FormatsFileNamesAndTheDefaultFolder) {
    const auto formats = AvailableRecordingFormats();
    ASSERT_FALSE(formats.empty());
    EXPECT_EQ(formats.front(), RecordingFormat::Flac);
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 6;
    when.tm_hour = 21;
    when.tm_min = 30;
    when.tm_sec = 5;
    EXPECT_EQ(RecordingFileName(when, RecordingFormat::Flac), "TevAudio 2026-12-06 21-30-05.flac");
    EXPECT_EQ(RecordingFileName(when, RecordingFormat::Vorbis), "TevAudio 2026-12-06 21-30-05.ogg");

    test::TempDir dir;
    const struct {
        const char* file;  // user-dirs.dirs, nullptr: none
        std::string folder;
    } cases[] = {
        {nullptr, "/home/dj/Music/TevAudio"},
        {"XDG_MUSIC_DIR=\"$HOME/Musik\"\n", "/home/dj/Musik/TevAudio"},
        {"# XDG_MUSIC_DIR=\"/x\"\nXDG_MUSIC_DIR=\"/srv/sets/\"\n", "/srv/sets/TevAudio"},
        {"XDG_MUSIC_DIR=\"$HOME/\"\n", "/home/dj/Music/TevAudio"},  // switched off
        {"XDG_MUSIC_DIR=relative\nXDG_MUSIC_DIR=\"\"\n", "/home/dj/Music/TevAudio"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path + "/user-dirs.dirs");
        if (c.file != nullptr) {
            std::ofstream(dir.path + "/user-dirs.dirs") << c.file;
        }
        EXPECT_EQ(DefaultRecordingFolderFor("/home/dj", dir.path), c.folder) << c.file;
    }
}

// Each format this FFmpeg offers writes a file that decodes to the length recorded.
TEST(Recorder, EveryOfferedFormatDecodesBack) {
    for (const RecordingFormat format : AvailableRecordingFormats()) {
        test::TempDir dir;
        Scene scene;
        Recorder recorder;
        std::string error;
        ASSERT_TRUE(recorder.Start(scene.main(), dir.path, format, error)) << error;
        scene.Render(44100);
        recorder.Stop();
        const Decoded file = Decode(recorder.Status().path);
        ASSERT_TRUE(file.opened) << RecordingFormatName(format);
        // Lossy encoders pad to their frames.
        EXPECT_NEAR(static_cast<double>(file.frames()), 44100.0, 3000.0)
            << RecordingFormatName(format);
    }
}
