// One forward notification against its budget (100 s of the 120 s test file): a chunk lasts 66.7
// ms, and the handler must take a small fraction of that (target: under 1 %), chunk writes to both
// outputs and the reversed copy for backward play included.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "core/EngineThreads.h"
#include "core/RingProducer.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"
#include "output/MixerEngine.h"

namespace {

using namespace tev;

// Forwards the reader's messages to the engine, as the mixer panel does.
class Mixer : public MessageReceiver {
  public:
    explicit Mixer(MixerEngine& engine) : engine_(engine) {}
    LRESULT OnAppMessage(uint32_t msg, WPARAM w, LPARAM l) override {
        return engine_.OnAppMessage(msg, w, l);
    }

  private:
    MixerEngine& engine_;
};

void BM_OnPlayForwardNotify(benchmark::State& state) {
    const char* dir = std::getenv("TEV_FIXTURES");
    const std::string file =
        std::string(dir != nullptr ? dir : "build/fixtures") + "/long/music.wav";
    ResetEngineState();
    QueueMessagePump pump;
    SetMessagePump(&pump);
    auto card = std::make_shared<ManualClockCard>(4);
    SoundOutput main;
    SoundOutput monitor;
    main.Open(card, 0, "main");
    monitor.Open(card, 1, "monitor");
    DeckReports decks;
    AnalysisThreads analysis;
    MixerEngine engine(monitor, main, decks, analysis);
    Mixer mixer(engine);
    hMixerWnd.Attach(&mixer);
    if (!OpenFileIntoDeck(0, file)) {
        state.SkipWithError(
            "no long/music.wav: run scripts/make-fixtures.sh build/fixtures --long");
        hMixerWnd.Detach(&mixer);
        SetMessagePump(nullptr);
        return;
    }
    StartFileReader(0);
    pump.PumpUntil([] { return deckEvents[0].deckReadyToPlay.IsSet(); }, std::chrono::seconds(10));
    engine.StartForward(0);
    StopNotifyForwarder(0, PlayDirection::Forward);  // the handler is called directly below
    double handled = 0.0;
    for (auto _ : state) {
        card->Render(static_cast<int>(kChunkFrames));
        // The reader keeps up, as it does in real time: the next chunks are in the ring.
        pump.PumpUntil(
            [] {
                const DeckRing& ring = deckRing[0];
                return ring.chunkFilled[(ring.readIndex.load() + 1) % kRingChunks].load() != 0;
            },
            std::chrono::seconds(5));
        const auto start = std::chrono::steady_clock::now();
        engine.OnPlayForwardNotify(0);
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        handled += took;
        state.SetIterationTime(took);
    }
    const double each = handled / static_cast<double>(state.iterations());
    state.counters["us_per_notification"] = each * 1e6;
    state.counters["pct_of_chunk"] = each * 15.0 * 100.0;
    main.StopDeck(0);
    monitor.StopDeck(0);
    StopReader(0, ReaderKind::File, false);
    trackDecoder[0].Close();
    hMixerWnd.Detach(&mixer);
    pump.Close();
    SetMessagePump(nullptr);
}
BENCHMARK(BM_OnPlayForwardNotify)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(1500);

}  // namespace
