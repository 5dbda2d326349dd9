#include "core/EngineState.h"

#include "platform/Clock.h"

namespace tev {

DeckRing deckRing[kDeckCount];
DeckEvents deckEvents[kDeckCount];
Event trackLengthLoadEvent{Event::Auto, false};

std::string deckFilePath[kDeckCount];
int32_t cdDriveRequest[kDeckCount] = {0, 0};
float effectParameter[kDeckCount][2] = {};

TrackLengthExchange trackLength;

std::atomic<uint32_t> fileReaderRunning[kDeckCount];
std::atomic<uint32_t> cdReaderRunning[kDeckCount];
std::atomic<uint32_t> forwardNotifyRunning[kDeckCount];
std::atomic<uint32_t> backwardNotifyRunning[kDeckCount];
std::atomic<uint32_t> keyboardPollRunning{0};
std::atomic<uint32_t> trackLengthLoaderRunning{0};
std::atomic<uint8_t> keyboardEnabled{1};
std::atomic<uint8_t> backwardPlayEnabled{1};

uint8_t panelsReady = 0;
int64_t perfFrequency = PerfCounterFrequency();

uint32_t colorDeckA = 0x00FFABCD;
uint32_t colorDeckB = 0x00ABCDFF;

WindowHandle hMixerWnd;
WindowHandle hMainWnd;
WindowHandle hDeckWnd[kDeckCount];

void DeckEvents::Restore() noexcept {
    for (Event* event : {&chartAnalysisDone, &octaveAnalysisDone, &scopeAnalysisDone, &cdOpenDone,
                         &deckReadyToPlay, &discReadForward, &fileOpenDone, &playBackwardNotify,
                         &playForwardNotify}) {
        event->Restore(false);
    }
    for (Event* event : {&threadCdReadForwardDone, &threadFileReadForwardDone,
                         &threadPlayBackwardDone, &threadPlayForwardDone}) {
        event->Restore(true);
    }
}

void ResetEngineState() {
    trackLengthLoadEvent.Restore(false);
    for (int d = 0; d < kDeckCount; ++d) {
        deckEvents[d].Restore();
        DeckRing& ring = deckRing[d];
        for (uint32_t i = 0; i < kRingChunks; ++i) {
            ring.chunkFilled[i].store(0);
            ring.chunkPosition[i] = kNoChunkPosition;
            ring.chunkSource[i].Clear();
        }
        ring.readIndex.store(0);
        ring.writeIndex.store(0);
        ring.cdFillOffset.store(0);
        fileReaderRunning[d].store(0);
        cdReaderRunning[d].store(0);
        forwardNotifyRunning[d].store(0);
        backwardNotifyRunning[d].store(0);
        deckFilePath[d].clear();
        cdDriveRequest[d] = 0;
        effectParameter[d][0] = 0.0F;
        effectParameter[d][1] = 0.0F;
    }
    keyboardPollRunning.store(0);
    trackLengthLoaderRunning.store(0);
    keyboardEnabled.store(1);
    backwardPlayEnabled.store(1);
    panelsReady = 0;
    trackLength.Reset();
    perfFrequency = PerfCounterFrequency();
}

bool TrackLengthExchange::Request(const std::string& path) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (busy_) {
            return false;
        }
        requested_ = path;
        waiting_ = true;
        busy_ = true;
    }
    trackLengthLoadEvent.Set();
    return true;
}

bool TrackLengthExchange::Take(std::string& path) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!waiting_) {
        return false;
    }
    path = requested_;
    waiting_ = false;
    return true;
}

void TrackLengthExchange::Publish(const std::string& path, const std::string* title,
                                  double seconds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    last_.path = path;
    if (title != nullptr) {
        last_.title = *title;
    }
    last_.seconds = seconds;
}

void TrackLengthExchange::Finish() {
    const std::lock_guard<std::mutex> lock(mutex_);
    busy_ = false;
}

bool TrackLengthExchange::Busy() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return busy_;
}

TrackLengthExchange::Result TrackLengthExchange::Last() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return last_;
}

void TrackLengthExchange::Reset() {
    const std::lock_guard<std::mutex> lock(mutex_);
    requested_.clear();
    waiting_ = false;
    busy_ = false;
    last_ = Result{};
}

}  // namespace tev
