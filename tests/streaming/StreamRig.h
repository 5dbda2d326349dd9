#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/AppMessages.h"
#include "core/RingProducer.h"
#include "decoder/DecoderRig.h"
#include "input/FileThreads.h"
#include "input/TrackDecoder.h"
#include "output/MixerEngine.h"
#include "support/Heard.h"

namespace tev::test {

// Two outputs on the halves of one four-channel manual-clock card (main: channels 0 and 1,
// monitor: 2 and 3), the mixer engine as hMixerWnd, real readers and notify threads, and the
// test's thread as the UI thread.
class StreamRig : public MessageReceiver {
  public:
    StreamRig() {
        ResetEngineState();
        SetMessagePump(&pump);
        main.Open(card, 0, "main");
        monitor.Open(card, 1, "monitor");
        engine = std::make_unique<MixerEngine>(monitor, main, decks, analysis);
        engine->deckLevel[0].Set(1.0);
        engine->deckLevel[1].Set(1.0);
        hMixerWnd.Attach(this);
    }
    ~StreamRig() override {
        for (int deck = 0; deck < kDeckCount; ++deck) {
            engine->StopForward(deck);
            engine->StopBackward(deck);
            StopReader(deck, ReaderKind::File, false);
            trackDecoder[deck].Close();
        }
        hMixerWnd.Detach(this);
        pump.Close();
        SetMessagePump(nullptr);
        ResetEngineState();
    }

    LRESULT OnAppMessage(uint32_t msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TRACK_ENDED && onTrackEnded) {
            onTrackEnded(static_cast<int>(wParam));
        }
        // A stop handled inside another handler: a wait that dispatched messages mid-stop.
        if (++depth > 1 && msg == WM_STOP_FORWARD) {
            ++nestedStops;
        }
        const auto began = std::chrono::steady_clock::now();
        const LRESULT result = engine->OnAppMessage(msg, wParam, lParam);
        longestHandler = std::max(longestHandler, std::chrono::steady_clock::now() - began);
        --depth;
        if (msg == WM_PLAY_FORWARD_NOTIFY) {
            ++forwardNotifications;
            ++forwardByDeck[wParam % kDeckCount];
        }
        if (msg == WM_PLAY_BACKWARD_NOTIFY) {
            ++backwardNotifications;
            ++backwardByDeck[wParam % kDeckCount];
        }
        if (msg == WM_STOP_FORWARD) {
            ++stops;
        }
        return result;
    }

    // Rev pressed and let go, as the deck panel sends them: forward stops and backward starts,
    // backward stops and forward resumes.
    static void TurnBackward(int deck) {
        SendAppMessage(hMixerWnd, WM_STOP_FORWARD, WPARAM(deck));
        SendAppMessage(hMixerWnd, WM_START_BACKWARD, WPARAM(deck));
    }
    static void TurnForward(int deck) {
        SendAppMessage(hMixerWnd, WM_STOP_BACKWARD, WPARAM(deck));
        SendAppMessage(hMixerWnd, WM_RESUME_FORWARD, WPARAM(deck));
    }

    // A WAV of `frames` frames at `rate` whose left and right samples are `amplitude` times a
    // sine of `hz` (left) and its negative (right); its samples.
    std::vector<int16_t> MakeTone(const std::string& name, size_t frames, double hz,
                                  double amplitude, int rate = 44100) {
        std::vector<int16_t> tone(frames * 2);
        for (size_t f = 0; f < frames; ++f) {
            const auto v =
                static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * f / rate)));
            tone[2 * f] = v;
            tone[2 * f + 1] = static_cast<int16_t>(-v);
        }
        WriteWav(dir + "/" + name, 2, 16, rate, Bytes(tone));
        return tone;
    }

    // A WAV of numbered frames (see NumberedFrames); its samples.
    std::vector<int16_t> MakeFile(const std::string& name, int frames, int id,
                                  const std::string& title = {}) {
        auto samples = NumberedFrames(frames, 2, id);
        WriteWav(dir + "/" + name, 2, 16, 44100, Bytes(samples), title);
        return samples;
    }

    // Opens a file into a deck and waits until the deck is primed and prepared.
    void Load(int deck, const std::string& name) {
        ASSERT_TRUE(OpenFileIntoDeck(deck, dir + "/" + name));
        decks.currentFile[deck] = dir + "/" + name;
        StartFileReader(deck);
        ASSERT_TRUE(pump.PumpUntil([&] { return deckEvents[deck].deckReadyToPlay.IsSet(); },
                                   std::chrono::seconds(20)));
    }

    // Waits until the deck's reader is at least two chunks ahead of the streaming, or has ended:
    // play is accelerated, but in real time the reader is always far ahead.
    void WaitForReader(int deck) {
        pump.PumpUntil(
            [deck] {
                const DeckRing& ring = deckRing[deck];
                const uint32_t r = ring.readIndex.load();
                return (ring.chunkFilled[r].load() != 0 &&
                        ring.chunkFilled[(r + 1) % kRingChunks].load() != 0) ||
                       deckEvents[deck].threadFileReadForwardDone.IsSet();
            },
            std::chrono::seconds(10));
    }

    // Renders one slot of sound and waits until the notifications it causes have been handled.
    std::vector<float> PlaySlots(int count = 1) {
        std::vector<float> out;
        for (int i = 0; i < count; ++i) {
            for (int deck = 0; deck < kDeckCount; ++deck) {
                if (forwardNotifyRunning[deck].load() != 0) {
                    WaitForReader(deck);
                }
            }
            // Every playing deck's notification for this slot end is handled before the next
            // slot renders, as real time allows.
            const std::array<int, kDeckCount> forward = forwardByDeck;
            const std::array<int, kDeckCount> backward = backwardByDeck;
            std::array<bool, kDeckCount> expectForward{};
            std::array<bool, kDeckCount> expectBackward{};
            for (int deck = 0; deck < kDeckCount; ++deck) {
                expectForward[deck] = forwardNotifyRunning[deck].load() != 0;
                expectBackward[deck] = backwardNotifyRunning[deck].load() != 0;
            }
            auto block = card->Render(static_cast<int>(kChunkFrames));
            out.insert(out.end(), block.begin(), block.end());
            pump.PumpUntil(
                [&] {
                    for (int deck = 0; deck < kDeckCount; ++deck) {
                        if ((expectForward[deck] && forwardByDeck[deck] == forward[deck]) ||
                            (expectBackward[deck] && backwardByDeck[deck] == backward[deck])) {
                            return false;
                        }
                    }
                    return true;
                },
                std::chrono::seconds(5));
            pump.DispatchAll();
        }
        return out;
    }

    // After the main output moved to `other`: renders one slot on it (and one on the rig's card,
    // which the monitor keeps) per step, and waits for Deck A's notification of it.
    std::vector<float> PlaySlotsOn(ManualClockCard& other, int count) {
        std::vector<float> out;
        for (int slot = 0; slot < count; ++slot) {
            const int handled = forwardNotifications;
            WaitForReader(0);
            const auto block = other.Render(static_cast<int>(kChunkFrames));
            out.insert(out.end(), block.begin(), block.end());
            card->Render(static_cast<int>(kChunkFrames));
            pump.PumpUntil([&] { return forwardNotifications > handled; }, std::chrono::seconds(5));
            pump.DispatchAll();
        }
        return out;
    }

    std::shared_ptr<ManualClockCard> card = std::make_shared<ManualClockCard>(4);
    QueueMessagePump pump;
    SoundOutput monitor;
    SoundOutput main;
    DeckReports decks;
    AnalysisThreads analysis;
    std::unique_ptr<MixerEngine> engine;
    std::function<void(int)> onTrackEnded;
    int forwardNotifications = 0;
    int backwardNotifications = 0;
    std::array<int, kDeckCount> forwardByDeck{};
    std::array<int, kDeckCount> backwardByDeck{};
    int stops = 0;
    int depth = 0;
    int nestedStops = 0;
    std::chrono::steady_clock::duration longestHandler{};
    TempDir temp;
    const std::string dir = temp.path;
};

}  // namespace tev::test
