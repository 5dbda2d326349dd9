#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/KeyboardDevice.h"
#include "platform/WorkerThread.h"

namespace tev {

// The long-lived worker threads of the engine and the notify forwarders of each deck. Every
// procedure returns 0. Threads never touch windows: they send messages to hMixerWnd.

enum class PlayDirection { Forward, Backward };

// Forwards the deck's buffer notifications of one direction as WM_PLAY_FORWARD_NOTIFY or
// WM_PLAY_BACKWARD_NOTIFY until its run flag drops. The mixer resets the notify event while it
// handles the message. Each thread procedure runs only while its launcher below has raised its
// run flag; on leaving, a forwarder sets its done event.
uint32_t ThreadPlayForward(int deck);
uint32_t ThreadPlayBackward(int deck);

// [UI thread] Raises the forwarder's run flag, clears its done event and starts it; the flag is
// raised before the thread exists so that a stop right after the start is never lost.
WorkerThread StartNotifyForwarder(int deck, PlayDirection direction);
// [UI thread] Lowers the run flag, wakes the forwarder and waits for it, dispatching messages.
void StopNotifyForwarder(int deck, PlayDirection direction);

// What the track-length loader learns of a file.
struct TrackInfo {
    std::string title;  // empty when the file has none
    double seconds = 0.0;
};
// Opens a file with a decoder of its own and reads its title and duration; false when the file
// cannot be opened. [loader thread]
using TrackInfoReader = std::function<bool(const std::string& path, TrackInfo& info)>;

// [UI thread] Installs how the loader reads files; set before the loader starts. Without one
// every file counts as unreadable.
void SetTrackInfoReader(TrackInfoReader reader);

// Measures the file trackLength holds a request for each time "Track Length Load Event" is set,
// publishes its title and length (-1.0 when it cannot be opened) and sends
// WM_TRACK_LENGTH_LOADED. Leaves when trackLengthLoaderRunning drops.
uint32_t ThreadTrackLengthLoad();

// One poll: while keyboard control is enabled, sends WM_KEY_PRESSED for each polled key that is
// down, in the poll table's order.
void PollKeyboard(const KeyboardDevice& keyboard);
// Polls every 15 ms. Leaves when keyboardPollRunning drops.
uint32_t ThreadKeyboardPoll(const KeyboardDevice& keyboard);

// [UI thread] Raise the thread's run flag and start it (below normal and time-critical
// priority). The threads are stopped at shutdown by lowering their flags.
WorkerThread StartTrackLengthLoader();
WorkerThread StartKeyboardPoll(const KeyboardDevice& keyboard);
// [UI thread] Lowers both flags and wakes the length loader, which leaves at its next loop test.
void SignalLongLivedThreadsToStop();

}  // namespace tev
