#include "core/EngineThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/AppMessages.h"
#include "thread/TestRig.h"

using namespace std::chrono_literals;
using namespace tev;
using tev::test::EngineRig;

TEST(NotifyForwarder, SendsOneNotificationPerSignalUntilStopped) {
    EngineRig rig;
    // As the mixer does, the handler resets the notify event.
    rig.mixer.onMessage = [](uint32_t msg, WPARAM deck, LPARAM) {
        if (msg == WM_PLAY_FORWARD_NOTIFY) {
            deckEvents[deck].playForwardNotify.Reset();
        }
        return LRESULT{0};
    };
    StartNotifyForwarder(1, PlayDirection::Forward);
    EXPECT_FALSE(deckEvents[1].threadPlayForwardDone.IsSet());
    for (int i = 1; i <= 3; ++i) {
        deckEvents[1].playForwardNotify.Set();
        ASSERT_TRUE(rig.PumpUntil([&] { return rig.mixer.Count(WM_PLAY_FORWARD_NOTIFY) == i; }));
    }
    StopNotifyForwarder(1, PlayDirection::Forward);
    EXPECT_TRUE(deckEvents[1].threadPlayForwardDone.IsSet());
    rig.pump.DispatchAll();
    const auto got = rig.mixer.Messages();
    ASSERT_EQ(got.size(), 3U);
    for (const auto& m : got) {
        EXPECT_EQ(m.wParam, 1U);
    }
    EXPECT_EQ(rig.mixer.offUiThread.load(), 0);
    // Deck A's forwarder events were never touched.
    EXPECT_TRUE(deckEvents[0].threadPlayForwardDone.IsSet());
    EXPECT_EQ(forwardNotifyRunning[0].load(), 0U);
}

TEST(NotifyForwarder, BackwardForwarderUsesItsOwnEventsAndMessage) {
    EngineRig rig;
    rig.mixer.onMessage = [](uint32_t msg, WPARAM deck, LPARAM) {
        if (msg == WM_PLAY_BACKWARD_NOTIFY) {
            deckEvents[deck].playBackwardNotify.Reset();
        }
        return LRESULT{0};
    };
    StartNotifyForwarder(0, PlayDirection::Backward);
    deckEvents[0].playForwardNotify.Set();  // not its event
    deckEvents[0].playBackwardNotify.Set();
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.mixer.Count(WM_PLAY_BACKWARD_NOTIFY) == 1; }));
    StopNotifyForwarder(0, PlayDirection::Backward);
    EXPECT_TRUE(deckEvents[0].threadPlayBackwardDone.IsSet());
    EXPECT_EQ(rig.mixer.Count(WM_PLAY_FORWARD_NOTIFY), 0);
}

TEST(NotifyForwarder, AStopRightAfterTheStartIsNeverLost) {
    EngineRig rig;
    for (int i = 0; i < 20; ++i) {
        StartNotifyForwarder(0, PlayDirection::Forward);
        StopNotifyForwarder(0, PlayDirection::Forward);
        EXPECT_TRUE(deckEvents[0].threadPlayForwardDone.IsSet());
    }
}

namespace {

// Runs the loader on a thread of the test's own, so that the test can see it end.
class LoaderRig : public EngineRig {
  public:
    explicit LoaderRig(TrackInfoReader reader) {
        SetTrackInfoReader(std::move(reader));
        trackLengthLoaderRunning.exchange(1);
        thread = std::thread([this] {
            ThreadTrackLengthLoad();
            ended = true;
        });
    }
    ~LoaderRig() {
        SignalLongLivedThreadsToStop();
        PumpUntil([&] { return ended.load(); });
        thread.join();
        SetTrackInfoReader(nullptr);
    }

    static bool Request(const std::string& path) { return trackLength.Request(path); }

    std::atomic<bool> ended{false};
    std::thread thread;
};

}  // namespace

TEST(TrackLengthLoader, ReportsTitleAndLengthOrMinusOneForAnUnreadableFile) {
    LoaderRig rig([](const std::string& path, TrackInfo& info) {
        if (path != "/music/song.ogg") {
            return false;
        }
        info.title = "Sóng";
        info.seconds = 192.5;
        return true;
    });
    ASSERT_TRUE(LoaderRig::Request("/music/song.ogg"));
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.mixer.Count(WM_TRACK_LENGTH_LOADED) == 1; }));
    EXPECT_EQ(trackLength.Last().title, "Sóng");
    EXPECT_DOUBLE_EQ(trackLength.Last().seconds, 192.5);
    EXPECT_EQ(rig.mixer.Messages()[0].wParam, 0U);

    ASSERT_TRUE(rig.PumpUntil([] { return !trackLength.Busy(); }));
    ASSERT_TRUE(LoaderRig::Request("/music/missing.mp3"));
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.mixer.Count(WM_TRACK_LENGTH_LOADED) == 2; }));
    EXPECT_DOUBLE_EQ(trackLength.Last().seconds, -1.0);
    EXPECT_EQ(trackLength.Last().title, "Sóng");  // a failure keeps the previous title
    EXPECT_EQ(rig.mixer.offUiThread.load(), 0);
}

TEST(TrackLengthLoader, ClosingWhileMeasuringFinishesTheFileThenLeaves) {
    std::atomic<bool> release{false};
    std::atomic<bool> measuring{false};
    LoaderRig rig([&](const std::string&, TrackInfo& info) {
        measuring = true;
        while (!release.load()) {
            std::this_thread::sleep_for(1ms);
        }
        info.seconds = 3.0;
        return true;
    });
    ASSERT_TRUE(LoaderRig::Request("/music/long.flac"));
    ASSERT_TRUE(rig.PumpUntil([&] { return measuring.load(); }));
    EXPECT_FALSE(LoaderRig::Request("/music/other.flac")) << "a busy loader takes no request";

    SignalLongLivedThreadsToStop();
    release = true;
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.ended.load(); }));
    EXPECT_EQ(rig.mixer.Count(WM_TRACK_LENGTH_LOADED), 1);
    EXPECT_DOUBLE_EQ(trackLength.Last().seconds, 3.0);
}

// Requests made as fast as the UI thread can while files are measured: every one is either
// refused or answered with its own file's measure.
TEST(TrackLengthLoader, EveryResultAnswersTheRequestThatAskedForIt) {
    LoaderRig rig([](const std::string& path, TrackInfo& info) {
        std::this_thread::sleep_for(std::chrono::microseconds(200 + path.size() % 7 * 100));
        info.title = "title of " + path;
        info.seconds = static_cast<double>(path.size());
        return true;
    });
    int answered = 0;
    for (int i = 0; i < 3000 && answered < 100; ++i) {
        const std::string path = "/music/" + std::to_string(i) + ".mp3";
        if (!trackLength.Request(path)) {
            rig.PumpUntil([] { return false; }, 1ms);
            continue;
        }
        EXPECT_FALSE(trackLength.Request("/music/meanwhile.mp3")) << "asked while measuring";
        ASSERT_TRUE(
            rig.PumpUntil([&] { return rig.mixer.Count(WM_TRACK_LENGTH_LOADED) > answered; }));
        ++answered;
        const TrackLengthExchange::Result result = trackLength.Last();
        EXPECT_EQ(result.path, path);
        EXPECT_EQ(result.title, "title of " + path);
        EXPECT_DOUBLE_EQ(result.seconds, static_cast<double>(path.size()));
    }
    EXPECT_EQ(answered, 100);
}

TEST(KeyboardPoll, SendsTheDownKeysInTableOrderWhileEnabled) {
    EngineRig rig;
    static KeyboardDevice keyboard;  // outlives the poll thread
    keyboard.ReleaseAll();
    keyboard.SetKeyState(0x39, true);  // space bar, late in the table
    keyboard.SetKeyState(0x11, true);  // W
    std::atomic<bool> ended{false};
    keyboardPollRunning.exchange(1);
    std::thread poll([&] {
        ThreadKeyboardPoll(keyboard);
        ended = true;
    });
    ASSERT_TRUE(rig.PumpUntil([&] { return rig.mixer.Count(WM_KEY_PRESSED) >= 4; }));
    auto got = rig.mixer.Messages();
    EXPECT_EQ(got[0].wParam, static_cast<WPARAM>('W'));
    EXPECT_EQ(got[1].wParam, static_cast<WPARAM>(' '));

    keyboardEnabled.store(0);
    std::this_thread::sleep_for(40ms);  // a poll in progress may still finish
    rig.pump.DispatchAll();
    const int before = rig.mixer.Count(WM_KEY_PRESSED);
    std::this_thread::sleep_for(60ms);
    rig.pump.DispatchAll();
    EXPECT_EQ(rig.mixer.Count(WM_KEY_PRESSED), before) << "disabled keyboard still polled";

    SignalLongLivedThreadsToStop();
    ASSERT_TRUE(rig.PumpUntil([&] { return ended.load(); }));
    poll.join();
    keyboard.ReleaseAll();
}
