// The ring and the message layer against their budget: a chunk lasts 1/15 s at 44,100 Hz, so
// moving one through the ring must cost a tiny fraction of that.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "core/EngineState.h"
#include "core/RingConsumer.h"
#include "core/RingProducer.h"
#include "platform/MessageLayer.h"

namespace {

using namespace tev;

class SilentReceiver : public MessageReceiver {
  public:
    LRESULT OnAppMessage(uint32_t, WPARAM, LPARAM) override { return 0; }
};

class PatternReader : public ChunkReader {
  public:
    Result ReadChunk(uint8_t* chunk) override {
        std::memset(chunk, static_cast<int>(++n_ & 0xFF), kChunkBytes);
        return {true, false};
    }
    const ChunkSource& Source() const override { return source_; }

  private:
    ChunkSource source_{"/music/bench.wav", "Bench", 60.0};
    uint32_t n_ = 0;
};

// One chunk from a reader thread through the ring to the consumer on the UI thread, with the
// reader's synchronous announcement of every chunk.
void BM_RingChunkThroughReaderAndConsumer(benchmark::State& state) {
    ResetEngineState();
    QueueMessagePump pump;
    SetMessagePump(&pump);
    SilentReceiver mixer;
    hMixerWnd.Attach(&mixer);
    PatternReader reader;
    StartReader(0, ReaderKind::File, [&reader] { ProduceChunks(0, reader); });
    RingConsumer consumer(0);
    consumer.Restart();
    std::vector<uint8_t> out(kChunkBytes);

    for (auto _ : state) {
        RingConsumer::Chunk chunk;
        while (!consumer.Peek(chunk)) {
            pump.DispatchPending();
        }
        std::memcpy(out.data(), chunk.data, kChunkBytes);
        benchmark::DoNotOptimize(out.data());
        consumer.Release();
        pump.DispatchAll();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / 15.0, benchmark::Counter::kIsRate);

    StopReader(0, ReaderKind::File, false);
    hMixerWnd.Detach(&mixer);
    pump.Close();
    SetMessagePump(nullptr);
}
BENCHMARK(BM_RingChunkThroughReaderAndConsumer)->UseRealTime();

// A worker's synchronous send answered by a UI thread that is waiting for it, pumping.
void BM_SendFromWorkerWhileUiWaitsPumping(benchmark::State& state) {
    QueueMessagePump pump;
    SetMessagePump(&pump);
    SilentReceiver receiver;
    WindowHandle target;
    target.Attach(&receiver);
    for (auto _ : state) {
        Event done(Event::Manual, false);
        std::thread worker([&] {
            SendAppMessage(target, 0x8015);
            done.Set();
        });
        WaitPumping(done);
        worker.join();
    }
    state.SetItemsProcessed(state.iterations());
    target.Detach(&receiver);
    pump.Close();
    SetMessagePump(nullptr);
}
BENCHMARK(BM_SendFromWorkerWhileUiWaitsPumping)->UseRealTime();

}  // namespace
