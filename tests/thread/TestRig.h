#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

#include "core/AppMessages.h"
#include "core/EngineState.h"
#include "platform/MessageLayer.h"

namespace tev::test {

struct Received {
    uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};

inline void PrintTo(const Received& r, std::ostream* os) {
    *os << "WM_APP+" << (r.msg - WM_APP) << " (" << r.wParam << ", " << r.lParam << ")";
}

// A receiver that records what reaches it, checks that it runs on the UI thread, and lets a test
// react to a message (as the mixer would) through `onMessage`.
class Recorder : public MessageReceiver {
  public:
    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        MessagePump* pump = CurrentMessagePump();
        if (pump == nullptr || !pump->IsPumpThread()) {
            ++offUiThread;
        }
        {
            std::lock_guard lock(mutex_);
            received_.push_back({msg, wParam, lParam});
        }
        return onMessage ? onMessage(msg, wParam, lParam) : 0;
    }

    std::vector<Received> Messages() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // What has arrived so far; forgets it.
    std::vector<Received> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(received_, {});
    }
    int Count(uint32_t msg) const {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const Received& r : received_) {
            n += r.msg == msg ? 1 : 0;
        }
        return n;
    }

    std::function<LRESULT(uint32_t, WPARAM, LPARAM)> onMessage;
    std::atomic<int> offUiThread{0};

  private:
    mutable std::mutex mutex_;
    std::vector<Received> received_;
};

// Recorders as the mixer, the main window and both decks, on a message pump of the test's thread.
// Leaves the shared state as it found it.
template <class Pump>
class RecorderRig {
  public:
    RecorderRig() {
        ResetEngineState();
        SetMessagePump(&pump);
        hMixerWnd.Attach(&mixer);
        hMainWnd.Attach(&mainWindow);
        for (int d = 0; d < kDeckCount; ++d) {
            hDeckWnd[d].Attach(&deck[d]);
        }
    }
    ~RecorderRig() {
        for (int d = 0; d < kDeckCount; ++d) {
            hDeckWnd[d].Detach(&deck[d]);
        }
        hMixerWnd.Detach(&mixer);
        hMainWnd.Detach(&mainWindow);
        SetMessagePump(nullptr);
        ResetEngineState();
    }

    Pump pump;
    Recorder mixer;
    Recorder mainWindow;
    Recorder deck[kDeckCount];
};

// The engine with a plain message pump on the test's thread.
class EngineRig : public RecorderRig<QueueMessagePump> {
  public:
    ~EngineRig() { pump.Close(); }

    template <class Predicate>
    bool PumpUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        return pump.PumpUntil(done, timeout);
    }

    static int FilledChunks(int deck) {
        int n = 0;
        for (const auto& flag : deckRing[deck].chunkFilled) {
            n += static_cast<int>(flag.load());
        }
        return n;
    }
};

}  // namespace tev::test
