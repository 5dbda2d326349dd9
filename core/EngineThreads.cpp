#include "core/EngineThreads.h"

#include <chrono>
#include <thread>
#include <utility>

#include "core/AppMessages.h"
#include "core/EngineState.h"

namespace tev {
namespace {

constexpr auto kKeyboardPollPeriod = std::chrono::milliseconds(15);

TrackInfoReader gTrackInfoReader;

struct ForwarderParts {
    std::atomic<uint32_t>& running;
    Event& notify;
    Event& done;
    uint32_t message;
};

ForwarderParts Parts(int deck, PlayDirection direction) {
    DeckEvents& events = deckEvents[deck];
    if (direction == PlayDirection::Forward) {
        return {forwardNotifyRunning[deck], events.playForwardNotify, events.threadPlayForwardDone,
                WM_PLAY_FORWARD_NOTIFY};
    }
    return {backwardNotifyRunning[deck], events.playBackwardNotify, events.threadPlayBackwardDone,
            WM_PLAY_BACKWARD_NOTIFY};
}

uint32_t ForwardNotifications(int deck, PlayDirection direction) {
    // The launcher raised the run flag and cleared the done event before this thread existed.
    ForwarderParts parts = Parts(deck, direction);
    while (parts.running.load() == 1) {
        parts.notify.Wait();
        if (parts.running.load() != 1) {
            break;
        }
        SendAppMessage(hMixerWnd, parts.message, static_cast<WPARAM>(deck));
    }
    parts.done.Set();
    return 0;
}

}  // namespace

uint32_t ThreadPlayForward(int deck) {
    return ForwardNotifications(deck, PlayDirection::Forward);
}

uint32_t ThreadPlayBackward(int deck) {
    return ForwardNotifications(deck, PlayDirection::Backward);
}

WorkerThread StartNotifyForwarder(int deck, PlayDirection direction) {
    ForwarderParts parts = Parts(deck, direction);
    parts.done.Reset();
    parts.running.exchange(1);
    const bool forward = direction == PlayDirection::Forward;
    std::string name = std::string(forward ? "PlayFwd" : "PlayBwd") + (deck == 0 ? "A" : "B");
    return WorkerThread::Start(name, kPriorityHighest, [deck, forward] {
        forward ? ThreadPlayForward(deck) : ThreadPlayBackward(deck);
    });
}

void StopNotifyForwarder(int deck, PlayDirection direction) {
    ForwarderParts parts = Parts(deck, direction);
    parts.running.exchange(0);
    parts.notify.Set();
    WaitPumping(parts.done);
}

void SetTrackInfoReader(TrackInfoReader reader) {
    gTrackInfoReader = std::move(reader);
}

uint32_t ThreadTrackLengthLoad() {
    for (;;) {
        if (trackLengthLoaderRunning.load() == 0) {
            return 0;
        }
        trackLengthLoadEvent.Wait();
        if (trackLengthLoaderRunning.load() == 0) {
            return 0;
        }
        std::string path;
        if (!trackLength.Take(path)) {
            continue;
        }
        TrackInfo info;
        if (gTrackInfoReader && gTrackInfoReader(path, info)) {
            trackLength.Publish(path, &info.title, info.seconds);
        } else {
            trackLength.Publish(path, nullptr, -1.0);  // the title keeps its previous value
        }
        // Free before the message, so that its handler can ask for the next file at once.
        trackLength.Finish();
        SendAppMessage(hMixerWnd, WM_TRACK_LENGTH_LOADED, 0);
    }
}

void PollKeyboard(const KeyboardDevice& keyboard) {
    if (keyboardEnabled.load(std::memory_order_relaxed) != 0) {
        for (const char key : keyboard.PollKeys()) {
            SendAppMessage(hMixerWnd, WM_KEY_PRESSED,
                           static_cast<WPARAM>(static_cast<unsigned char>(key)));
        }
    }
}

uint32_t ThreadKeyboardPoll(const KeyboardDevice& keyboard) {
    while (keyboardPollRunning.load() == 1) {
        PollKeyboard(keyboard);
        std::this_thread::sleep_for(kKeyboardPollPeriod);
    }
    return 0;
}

WorkerThread StartTrackLengthLoader() {
    trackLengthLoaderRunning.exchange(1);
    return WorkerThread::Start("TrackLength", kPriorityBelowNormal,
                               [] { ThreadTrackLengthLoad(); });
}

WorkerThread StartKeyboardPoll(const KeyboardDevice& keyboard) {
    keyboardPollRunning.exchange(1);
    return WorkerThread::Start("KeyboardPoll", kPriorityTimeCritical,
                               [&keyboard] { ThreadKeyboardPoll(keyboard); });
}

void SignalLongLivedThreadsToStop() {
    keyboardPollRunning.exchange(0);
    trackLengthLoaderRunning.exchange(0);
    trackLengthLoadEvent.Set();
}

}  // namespace tev
