// The sound layer's mixing cost against real time: two decks with forward and backward buffers,
// on two outputs (the halves of a four-channel card), played at x1.08 with moving faders.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "output/SoundOutput.h"

namespace {

using namespace tev;

void BM_MixTwoDecksOnTwoOutputsAtTempo(benchmark::State& state) {
    auto card = std::make_shared<ManualClockCard>(4);
    SoundOutput outputs[2];
    outputs[0].Open(card, 0, "main");
    outputs[1].Open(card, 1, "monitor");
    std::vector<int16_t> chunk(kChunkBytes / 2);
    for (size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<int16_t>(8000 * std::sin(0.05 * static_cast<double>(i)));
    }
    for (SoundOutput& output : outputs) {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            output.CreateDeckBuffers(deck, 44100, false, true);
            for (uint32_t slot = 0; slot < kDeckSlots; ++slot) {
                output.WriteForwardChunk(deck, chunk.data());
                output.WriteBackwardChunk(deck, chunk.data());
            }
            output.SetFrequency(deck, 47628);  // x1.08
            const DeckBufferDevice::Deck& d = output.deckDevice()->deck(deck);
            d.forwardBuffer->Play(true);
            d.backwardBuffer->SetFrequency(47628);
            d.backwardBuffer->Play(true);
        }
    }
    constexpr int kBlock = 512;  // about 12 ms, a typical device block
    std::vector<float> out(static_cast<size_t>(kBlock) * 4);
    double fader = 0.0;
    int64_t frames = 0;
    for (auto _ : state) {
        // The faders move every block, as under a DJ's hand.
        fader = fader > 1.0 ? 0.0 : fader + 0.01;
        outputs[0].SetDeckVolume(0, fader);
        outputs[0].SetDeckVolume(1, 1.0 - fader);
        outputs[1].SetDeckPan(0, fader - 0.5);
        card->RenderInto(out);
        benchmark::DoNotOptimize(out.data());
        frames += kBlock;
    }
    const double audioSeconds = static_cast<double>(frames) / 44100.0;
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixTwoDecksOnTwoOutputsAtTempo);

}  // namespace
