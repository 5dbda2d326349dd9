// The sound layer's mixing cost against real time: two decks with forward and backward buffers,
// on two outputs (the halves of a four-channel card), played at x1.08 with moving faders; with
// argument 1 each deck's five-band equalizer is on, a slider always moving.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "analysis/FilterBank.h"
#include "output/SoundOutput.h"
#include "platform/SoundSystem.h"

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
            d.forwardBuffer->SetWriteFence(int64_t{1} << 40);  // written far ahead, as streamed
            d.forwardBuffer->Play(true);
            d.backwardBuffer->SetFrequency(47628);
            d.backwardBuffer->Play(true);
        }
    }
    const bool equalized = state.range(0) == 1;
    if (equalized) {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            equalizerBanks[deck].Design(5);
            for (int band = 0; band < 5; ++band) {
                equalizerBanks[deck].SetBandGain(band, band % 2 == 0 ? 1.1F : 0.9F);
            }
            for (SoundOutput& output : outputs) {
                output.ApplyEqualizer(deck);
            }
        }
    }
    constexpr int kBlock = 512;  // about 12 ms, a typical device block
    std::vector<float> out(static_cast<size_t>(kBlock) * 4);
    double fader = 0.0;
    int64_t frames = 0;
    int block = 0;
    for (auto _ : state) {
        // The faders move every block, as under a DJ's hand, and Deck B stops and starts again
        // and again on both outputs, so that it is always in one of its fades.
        fader = fader > 1.0 ? 0.0 : fader + 0.01;
        if (++block % 4 == 0) {
            OutputBatch together(outputs[0], outputs[1]);
            for (SoundOutput& output : outputs) {
                block % 8 == 0 ? output.StopDeck(1) : output.PlayForward(1);
            }
        }
        outputs[0].SetDeckVolume(0, fader);
        outputs[0].SetDeckVolume(1, 1.0 - fader);
        outputs[1].SetDeckPan(0, fader - 0.5);
        if (equalized && block % 2 == 0) {
            const int deck = (block / 2) % kDeckCount;
            equalizerBanks[deck].SetBandGain(1, 0.85F + 0.3F * static_cast<float>(fader));
            for (SoundOutput& output : outputs) {
                output.SetEqualizerBand(deck, 1);
            }
        }
        card->RenderInto(out);
        benchmark::DoNotOptimize(out.data());
        frames += kBlock;
    }
    const double audioSeconds = static_cast<double>(frames) / 44100.0;
    state.counters["x_realtime"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MixTwoDecksOnTwoOutputsAtTempo)->Arg(0)->Arg(1);

// One buffer's five equalizer bands, all turned, on a block of 512 frames.
void BM_EqualizerFiveBands(benchmark::State& state) {
    ParamEqualizer equalizer(44100.0);
    const float centres[] = {80.0F, 187.5F, 750.0F, 3000.0F, 12000.0F};
    for (int band = 0; band < ParamEqualizer::kMaxBands; ++band) {
        equalizer.band(band).SetAllParameters({centres[band], 24.0F, band % 2 == 0 ? 6.0F : -6.0F});
    }
    std::vector<float> block(2 * 512);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = 0.25F * std::sin(0.05F * static_cast<float>(i));
    }
    for (int settle = 0; settle < 4; ++settle) {  // past the cross-fade in
        equalizer.Process(block.data(), 512, 44100);
    }
    for (auto _ : state) {
        equalizer.Process(block.data(), 512, 44100);
        benchmark::DoNotOptimize(block.data());
    }
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 512,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EqualizerFiveBands);

// Frames from a deck's Play to its first sound on both outputs of a card rendering blocks of
// 64 frames: the command is taken at the next block.
void BM_PlayToFirstSound(benchmark::State& state) {
    auto card = std::make_shared<ManualClockCard>(4);
    SoundOutput outputs[2];
    outputs[0].Open(card, 0, "main");
    outputs[1].Open(card, 1, "monitor");
    const std::vector<int16_t> chunk(kChunkBytes / 2, 8000);
    for (SoundOutput& output : outputs) {
        output.CreateDeckBuffers(0, 44100, false, true);
        for (int slot = 0; slot < 4; ++slot) {
            output.WriteForwardChunk(0, chunk.data());
        }
    }
    constexpr int kBlock = 64;
    std::vector<float> out(static_cast<size_t>(kBlock) * 4);
    card->RenderInto(out);  // a block already under way when Play comes
    int64_t frames = 0;
    for (auto _ : state) {
        {
            OutputBatch together(outputs[0], outputs[1]);
            outputs[0].PlayForward(0);
            outputs[1].PlayForward(0);
        }
        int64_t waited = 0;
        for (bool heard = false; !heard;) {
            card->RenderInto(out);
            for (int f = 0; f < kBlock && !heard; ++f, ++waited) {
                heard = out[static_cast<size_t>(f) * 4] != 0.0F && out[f * 4 + 2] != 0.0F;
            }
        }
        frames += waited - 1;
        state.PauseTiming();
        for (SoundOutput& output : outputs) {
            output.StopDeck(0);
            output.SetPlayPosition(0, 0);
        }
        while (outputs[0].deckDevice()->deck(0).forwardBuffer->IsAudible()) {
            card->RenderInto(out);
        }
        state.ResumeTiming();
    }
    state.counters["frames_to_sound"] =
        static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlayToFirstSound)->Iterations(200);

}  // namespace

namespace {

// The latency a real or virtual device gives (a sound server's "pulse" device when there is
// one) at each latency choice: what the device reports, and the time from Play to the first
// block that renders it.
void BM_OutputLatencyOnARealDevice(benchmark::State& state) {
    tev::SoundSystem::Instance().SetLatencyMs(static_cast<int>(state.range(0)));
    auto card = tev::SoundSystem::Instance().OpenCard("pulse", false);
    if (card == nullptr) {
        state.SkipWithError("no \"pulse\" device (start scripts/start-sound-server.sh)");
        return;
    }
    tev::SoundBuffer* buffer = card->Output(0)->CreateBuffer(44100 * 4, 44100);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the stream settles after its start
    double total = 0;
    for (auto _ : state) {
        buffer->Stop();
        while (buffer->IsAudible()) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        buffer->SetCurrentPosition(0);
        const auto start = std::chrono::steady_clock::now();
        buffer->FadeIn();
        while (buffer->GetCurrentPosition() == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
    }
    state.counters["device_latency_ms"] = card->OutputLatency() * 1000;
    state.counters["play_to_render_ms"] = total / static_cast<double>(state.iterations());
    card->Output(0)->DestroyBuffer(buffer);
}
BENCHMARK(BM_OutputLatencyOnARealDevice)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->Apply([](benchmark::internal::Benchmark* b) {
        for (const int ms : tev::SoundSystem::kLatencyChoicesMs) {
            b->Arg(ms);
        }
    });

}  // namespace
