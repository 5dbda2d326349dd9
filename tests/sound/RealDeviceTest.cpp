// Plays through PortAudio into a PulseAudio null sink and records the sink's monitor. Runs when
// TEV_REAL_AUDIO is set, as .ci/run does after starting the server with the sinks "tevmain"
// (stereo) and "tevquad" (four channels); skipped elsewhere.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/AppMessages.h"
#include "core/RingProducer.h"
#include "core/SoundDeviceList.h"
#include "decoder/DecoderRig.h"
#include "input/FileThreads.h"
#include "output/MixerEngine.h"
#include "output/SoundOutput.h"
#include "platform/MixerLineControl.h"
#include "platform/SoundSystem.h"
#include "support/ToneLevel.h"

extern char** environ;

using namespace std::chrono_literals;
using namespace tev;
using tev::test::AmplitudeAt;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, pipe) != nullptr) {
            out += line;
        }
        pclose(pipe);
    }
    return out;
}

// Records a sink's monitor with parec while it lives.
class Recording {
  public:
    Recording(const std::string& source, int channels) : channels_(channels) {
        path_ = "/tmp/tev-capture-" + std::to_string(getpid()) + ".raw";
        std::vector<std::string> args = {
            "parec", "--latency-msec=20", "-d",           source,
            "--raw", "--format=s16le",    "--rate=44100", "--channels=" + std::to_string(channels)};
        // Name the channels, or the server remixes four of them into its default order.
        args.push_back(channels == 4 ? "--channel-map=front-left,front-right,rear-left,rear-right"
                                     : "--channel-map=front-left,front-right");
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        // parec's own buffering loses the start: wait until the server lists the recorder.
        for (int i = 0; i < 200 && RunCommand("pactl list short source-outputs").empty(); ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
    ~Recording() { std::remove(path_.c_str()); }

    // Waits until `frames` frames have been recorded (the sink runs at its own pace); false
    // when they have not come within ten seconds.
    bool WaitFor(size_t frames) const {
        const auto bytes = frames * static_cast<size_t>(channels_) * 2;
        for (int i = 0; i < 1000; ++i) {
            struct stat info {};
            if (stat(path_.c_str(), &info) == 0 && static_cast<size_t>(info.st_size) >= bytes) {
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Stops recording; the samples, interleaved, as fractions of full scale.
    std::vector<float> Stop() {
        kill(pid_, SIGINT);
        int status = 0;
        waitpid(pid_, &status, 0);
        std::ifstream in(path_, std::ios::binary);
        std::vector<float> samples;
        int16_t v = 0;
        while (in.read(reinterpret_cast<char*>(&v), 2)) {
            samples.push_back(static_cast<float>(v) / 32768.0F);
        }
        return samples;
    }

    int channels() const { return channels_; }

  private:
    pid_t pid_ = 0;
    int channels_;
    std::string path_;
};

std::vector<int16_t> ToneChunk(double hz, double amplitude, int chunk) {
    std::vector<int16_t> samples(kChunkBytes / 2);
    for (uint32_t f = 0; f < kChunkFrames; ++f) {
        const double t = static_cast<double>(chunk * kChunkFrames + f) / 44100;
        const auto v =
            static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * kPi * hz * t)));
        samples[2 * f] = v;
        samples[2 * f + 1] = v;
    }
    return samples;
}

void LoadTone(SoundOutput& output, double hz, double amplitude) {
    ASSERT_EQ(output.CreateDeckBuffers(0, 44100, false, false), S_OK);
    // 1 kHz and 440 Hz both fit whole periods into the 8-second buffer, so it loops cleanly.
    for (int chunk = 0; chunk < static_cast<int>(kDeckSlots); ++chunk) {
        output.WriteForwardChunk(0, ToneChunk(hz, amplitude, chunk).data());
    }
}

class RealDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("TEV_REAL_AUDIO") == nullptr) {
            GTEST_SKIP() << "set TEV_REAL_AUDIO with a PulseAudio server running (see .ci/run)";
        }
    }
};

}  // namespace

// The first start on a desktop's sound server, whichever its sink: the main output takes the
// server and the monitor stays off, since both names of the server reach the audience's speakers.
// The server offers the split, and on the four-channel sink the split keeps the pairs apart.
TEST_F(RealDevice, TheFirstStartKeepsTheMonitorOffAndASplitFourChannelSinkKeepsThePairsApart) {
    using List = SoundDeviceList;
    for (const char* sink : {"tevmain", "tevquad"}) {
        setenv("PULSE_SINK", sink, 1);
        List list;
        list.Build(SoundSystem::Instance().Devices());
        list.Restore("", "");
        ASSERT_GT(list.selected(List::kMain), 0) << sink;
        const std::string server = *list.selectedEntry(List::kMain).device;
        EXPECT_TRUE(server == "pulse" || server == "default") << server;
        EXPECT_EQ(list.selected(List::kMonitor), 0) << sink;
        EXPECT_TRUE(list.CanSplit(List::kMain)) << sink;
    }
    setenv("PULSE_SINK", "tevquad", 1);
    List list;
    list.Build(SoundSystem::Instance().Devices());
    list.Restore("", "");
    list.Split(List::kMain);
    ASSERT_EQ(List::PairOf(list.selectedEntry(List::kMain).text), 0);
    ASSERT_EQ(List::PairOf(list.selectedEntry(List::kMonitor).text), 1);
    SoundOutput main;
    SoundOutput monitor;
    std::string error;
    ASSERT_TRUE(main.OpenDevice(list.selectedEntry(List::kMain).device,
                                list.selectedEntry(List::kMain).text, error))
        << error;
    ASSERT_TRUE(monitor.OpenDevice(list.selectedEntry(List::kMonitor).device,
                                   list.selectedEntry(List::kMonitor).text, error))
        << error;
    LoadTone(main, 440, 0.3);
    LoadTone(monitor, 1000, 0.3);
    Recording recording("tevquad.monitor", 4);
    main.deckDevice()->deck(0).forwardBuffer->Play(true);
    monitor.deckDevice()->deck(0).forwardBuffer->Play(true);
    EXPECT_TRUE(recording.WaitFor(33075)) << "the sink recorded less than 0.75 s";
    const auto captured = recording.Stop();
    main.Release();
    monitor.Release();
    ASSERT_GT(captured.size(), 4U * 11025);
    for (int channel = 0; channel < 4; ++channel) {
        const bool front = channel < 2;
        const double wanted = AmplitudeAt(captured, 4, channel, front ? 440 : 1000, 11025);
        const double leak = AmplitudeAt(captured, 4, channel, front ? 1000 : 440, 11025);
        EXPECT_NEAR(wanted, 0.3, 0.06) << "channel " << channel;
        EXPECT_LT(leak, wanted / 1000) << "channel " << channel << " hears the other pair";
    }
}

TEST_F(RealDevice, TheMixerLineMovesTheServersVolume) {
    MixerLineControl master;
    ASSERT_TRUE(master.Bind("default", "Master"));
    master.Set(50);
    EXPECT_EQ(master.Get(), 50U);
    const std::string volume =
        RunCommand("pactl get-sink-volume tevmain 2>/dev/null || pactl list sinks");
    EXPECT_NE(volume.find("50%"), std::string::npos) << volume;
    master.SetStereo(80, 40);
    EXPECT_EQ(master.Get(), 80U);
    master.Set(100);
    EXPECT_EQ(master.Get(), 100U);
}

// Busy loops on every core for as long as it lives, as a compile beside the program would be.
class Load {
  public:
    explicit Load(int processes) {
        for (int i = 0; i < processes; ++i) {
            pid_t pid = 0;
            char sh[] = "sh";
            char flag[] = "-c";
            char loop[] = "while :; do :; done";
            char* argv[] = {sh, flag, loop, nullptr};
            if (posix_spawnp(&pid, "sh", nullptr, nullptr, argv, environ) == 0) {
                pids_.push_back(pid);
            }
        }
    }
    ~Load() {
        for (const pid_t pid : pids_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

  private:
    std::vector<pid_t> pids_;
};

// A deck streams a file through the whole engine (reader, notify thread, handlers on this
// thread) at the default latency for two minutes, with both cores kept busy. The dropouts the
// device reported and the longest silence in the recording are reported, not asserted: they
// depend on the machine.
TEST_F(RealDevice, ADeckPlaysOnForTwoMinutesBesideTwoBusyProcesses) {
    setenv("PULSE_SINK", "tevmain", 1);
    ResetEngineState();
    QueueMessagePump pump;
    SetMessagePump(&pump);
    SoundSystem::Instance().SetLatencyMs(SoundSystem::kDefaultLatencyMs);
    auto card = SoundSystem::Instance().OpenCard("pulse", false);
    ASSERT_NE(card, nullptr) << SoundSystem::Instance().LastError();
    SoundOutput monitor;
    SoundOutput main;
    main.Open(card, 0, "pulse");
    DeckReports decks;
    AnalysisThreads analysis;
    MixerEngine engine(monitor, main, decks, analysis);
    engine.deckLevel[0].Set(1.0);
    struct Receiver : MessageReceiver {
        MixerEngine* engine = nullptr;
        LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override {
            return engine->OnAppMessage(msg, wParam, lParam);
        }
    } receiver;
    receiver.engine = &engine;
    hMixerWnd.Attach(&receiver);

    // Four minutes of a 441 Hz tone, so that the deck never reaches its end.
    constexpr double kAmplitude = 0.25;
    const size_t frames = 44100 * 240;
    std::vector<int16_t> tone(frames * 2);
    for (size_t f = 0; f < frames; ++f) {
        const auto v = static_cast<int16_t>(
            std::lround(kAmplitude * 32767 * std::sin(2 * kPi * 441.0 * f / 44100)));
        tone[2 * f] = v;
        tone[2 * f + 1] = v;
    }
    const std::string path = "/tmp/tev-load-" + std::to_string(getpid()) + ".wav";
    test::WriteWav(path, 2, 16, 44100, test::Bytes(tone));
    tone = {};
    ASSERT_TRUE(OpenFileIntoDeck(0, path));
    decks.currentFile[0] = path;
    WorkerThread reader = StartFileReader(0);
    ASSERT_TRUE(pump.PumpUntil([] { return deckEvents[0].deckReadyToPlay.IsSet(); }, 20s));
    engine.UpdateDeckVolumes();

    std::vector<float> captured;
    uint64_t underruns = 0;
    {
        Recording recording("tevmain.monitor", 2);
        pump.PumpUntil([] { return false; }, 2s);  // the stream settles after its start
        const Load load(2);
        const uint64_t before = card->Underruns();
        ASSERT_TRUE(engine.StartForward(0));
        pump.PumpUntil([] { return false; }, 120s);
        underruns = card->Underruns() - before;
        captured = recording.Stop();
    }
    engine.StopForward(0);
    StopReader(0, ReaderKind::File, false);
    hMixerWnd.Detach(&receiver);
    pump.Close();
    SetMessagePump(nullptr);
    std::remove(path.c_str());

    // The longest run of near-silence between the first and the last sound of the deck.
    const size_t total = captured.size() / 2;
    size_t first = 0;
    while (first < total && std::abs(captured[2 * first]) < 0.01F) {
        ++first;
    }
    size_t last = total;
    while (last > first && std::abs(captured[2 * (last - 1)]) < 0.01F) {
        --last;
    }
    size_t longest = 0;
    size_t run = 0;
    for (size_t f = first; f < last; ++f) {
        // A 441 Hz tone at a quarter of full scale stays this quiet for a few frames at most.
        run = std::abs(captured[2 * f]) < 0.01F ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    const double heard = static_cast<double>(last - first) / 44100.0;
    std::printf(
        "under load: %.1f s heard, %llu underruns, longest silence %.1f ms (latency %d ms)\n",
        heard, static_cast<unsigned long long>(underruns), longest * 1000.0 / 44100.0,
        SoundSystem::Instance().latencyMs());
    RecordProperty("underruns", static_cast<int>(underruns));
    RecordProperty("longest_silence_ms", static_cast<int>(longest * 1000 / 44100));
    EXPECT_GT(heard, 100.0) << "the deck was heard for most of the two minutes";
}
