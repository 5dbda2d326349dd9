#include <gtest/gtest.h>

#include <cmath>

#include "streaming/StreamRig.h"
#include "support/AllocationCounter.h"

using namespace tev;
using tev::test::ExpectFrames;
using tev::test::Sample;
using tev::test::StreamRig;

namespace {

constexpr size_t kRamp = test::kFadeInFrames;
const double kFullLeftGain = test::Gain(1.0, 98.0 / 99.0);

// Deck A loaded with a file of `frames` numbered frames and started; the file's samples.
std::vector<int16_t> StartFile(StreamRig& rig, size_t frames) {
    auto a = rig.MakeFile("a.wav", static_cast<int>(frames), 0);
    rig.Load(0, "a.wav");
    rig.engine->StartForward(0);
    return a;
}

// The first frame of a render where the main output's left channel is not silent.
size_t FirstHeard(const std::vector<float>& out) {
    size_t first = 0;
    while (first < out.size() / 4 && Sample(out, first, 0) == 0.0) {
        ++first;
    }
    return first;
}

}  // namespace

TEST(Streaming, FeedsOneChunkAt26OutstandingAndTwoAt25) {
    StreamRig rig;
    rig.MakeFile("a.wav", 200 * kChunkFrames, 0);
    rig.Load(0, "a.wav");
    EXPECT_EQ(rig.engine->CountDataSlots(0), 26);
    for (int slot = 0; slot < 26; ++slot) {
        EXPECT_TRUE(rig.engine->dataSlot(0, slot));
    }
    EXPECT_EQ(rig.engine->lastPlayedSlot(0), 0);
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 26);
    rig.engine->StartForward(0);
    rig.PlaySlots(1);  // 26 outstanding: one chunk
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 27);
    EXPECT_EQ(rig.engine->CountDataSlots(0), 25);
    rig.PlaySlots(1);  // 25 outstanding: two
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 29);
    rig.PlaySlots(1);
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 30);

    // While a file dialog is open the engine writes further ahead.
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_OPENING);
    rig.PlaySlots(1);
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), 32);
    SendAppMessage(hMixerWnd, WM_FILE_DIALOG_CLOSED);
    EXPECT_EQ(rig.engine->writeAheadTarget(), MixerEngine::kWriteAheadNormal);
}

TEST(Streaming, RepeatedNotificationsAreFakeAndADriftedMonitorIsResynced) {
    StreamRig rig;
    StartFile(rig, 200 * kChunkFrames);
    rig.PlaySlots(3);
    const int written = rig.main.ForwardWriteSlot(0);
    const int handled = rig.forwardNotifications;
    deckEvents[0].playForwardNotify.Set();  // a wake-up with no slot end behind it
    rig.pump.PumpUntil([&] { return rig.forwardNotifications > handled; }, std::chrono::seconds(5));
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), written);
    EXPECT_EQ(rig.engine->lastPlayedSlot(0), 3);

    rig.monitor.SetPlayPosition(0, 9 * kChunkBytes);  // the monitor drifted
    rig.PlaySlots(1);
    EXPECT_EQ(rig.monitor.ForwardPlayCursor(0), rig.main.ForwardPlayCursor(0));
    rig.monitor.SetPlayPosition(0, static_cast<uint32_t>(rig.main.ForwardPlayCursor(0)) -
                                       kChunkBytes);  // one slot behind is tolerated
    rig.PlaySlots(1);
    EXPECT_EQ(rig.monitor.ForwardPlaySlot(0), rig.main.ForwardPlaySlot(0) - 1);
}

TEST(Streaming, TheMonitorPacesPlayWhenThereIsNoMainDevice) {
    StreamRig rig;
    rig.main.Release();
    const auto a = rig.MakeFile("a.wav", 200 * kChunkFrames, 0);
    rig.Load(0, "a.wav");
    rig.engine->UpdateDeckVolumes();
    rig.engine->StartForward(0);
    const auto out = rig.PlaySlots(90);  // beyond the first fill: only paced writes sound right
    EXPECT_EQ(rig.forwardByDeck[0], 90);
    ExpectFrames(out, {1}, kRamp, out.size() / 4, a, kRamp, kFullLeftGain);
    ExpectFrames(out, {0}, kRamp, out.size() / 4, {}, 0, 0.0);
}

TEST(Streaming, AStalledUiThreadIsHeardAsSilenceThenPlayGoesOnNeverAsTheLastLap) {
    StreamRig rig;
    // The left channel of the first lap's chunks is positive and of every later one negative,
    // so that a sound of the old lap shows at any level, ramps included.
    constexpr int kLap = static_cast<int>(kDeckSlots);
    const size_t frames = 300 * kChunkFrames;
    std::vector<int16_t> a(frames * 2);
    for (size_t f = 0; f < frames; ++f) {
        const int sign = f / kChunkFrames < kDeckSlots ? 1 : -1;
        a[2 * f] = static_cast<int16_t>(sign * static_cast<int>(1000 + f % 20000));
        a[2 * f + 1] = static_cast<int16_t>(f % 30000);
    }
    test::WriteWav(rig.dir + "/a.wav", 2, 16, 44100, test::Bytes(a));
    rig.Load(0, "a.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(kLap + 10);
    const int written = rig.main.ForwardWriteSlot(0);
    // The UI thread stalls for 2.7 s: no notification is handled.
    auto out = rig.card->Render(static_cast<int>(kChunkFrames) * 41);
    const auto after = rig.PlaySlots(30);
    out.insert(out.end(), after.begin(), after.end());
    for (size_t f = 0; f < out.size() / 4; ++f) {
        for (int channel : {0, 2}) {
            ASSERT_LE(Sample(out, f, channel), 0.0) << "the last lap's sound at frame " << f;
        }
    }
    // Silence from where the writes ended until the handler writes again...
    size_t held = 0;
    while (held < out.size() / 4 && Sample(out, held, 0) != 0.0) {
        ++held;
    }
    size_t resumed = held;
    while (resumed < out.size() / 4 && Sample(out, resumed, 0) == 0.0) {
        ++resumed;
    }
    EXPECT_EQ((held + kChunkFrames / 2) / kChunkFrames, static_cast<size_t>(written - 10));
    EXPECT_GE(resumed - held, 41 * kChunkFrames - held);
    // ...then the deck goes on, on both outputs, from the first chunk it had not written (less
    // the few frames that the fall to silence skips before it).
    ASSERT_LT(resumed, out.size() / 4 - kRamp - kChunkFrames);
    const size_t next = (static_cast<size_t>(written) + kDeckSlots) * kChunkFrames + kRamp;
    const auto decoded =
        static_cast<size_t>(std::lround(Sample(out, resumed + kRamp, 1) / kFullLeftGain));
    const size_t skipped = (decoded + 30000 - next % 30000) % 30000;
    EXPECT_LT(skipped, 64U);
    ExpectFrames(out, {0, 1}, resumed + kRamp, out.size() / 4, a, next + skipped, kFullLeftGain);
}

TEST(Streaming, NoAllocationWhileStreaming) {
    StreamRig rig;
    StartFile(rig, 300 * kChunkFrames);
    rig.PlaySlots(5);
    StopNotifyForwarder(0, PlayDirection::Forward);  // the handler is called directly below
    for (int i = 0; i < 20; ++i) {
        rig.card->Render(static_cast<int>(kChunkFrames));
        test::StartCountingAllocations();
        rig.engine->OnPlayForwardNotify(0);
        EXPECT_EQ(test::StopCountingAllocations(), 0);
    }
}

TEST(Streaming, BackwardPlayReversesWhatWasPlayedAndResumesFromTheMirror) {
    StreamRig rig;
    const auto a = StartFile(rig, 300 * kChunkFrames);
    rig.PlaySlots(30);
    StreamRig::TurnBackward(0);
    EXPECT_TRUE(rig.main.IsPlayingBackward(0));
    EXPECT_EQ(rig.main.BackwardPlayCursor(0), static_cast<int32_t>(kMirrorBase - 30 * kChunkBytes));
    const auto back = rig.PlaySlots(5);
    // Backward slot 89 holds chunk 31 reversed, then chunk 30, 29, ...: frames count down, and
    // each frame keeps its left and right samples.
    const size_t lastFrameOf31 = 32 * kChunkFrames - 1;
    ExpectFrames(back, {0}, kRamp, back.size() / 4, a, lastFrameOf31 - kRamp, kFullLeftGain, -1);
    // A repeated wake-up, or one that names the slot after the last, changes nothing.
    const int last = rig.engine->lastPlayedSlot(0);
    int handled = rig.backwardNotifications;
    deckEvents[0].playBackwardNotify.Set();
    rig.pump.PumpUntil([&] { return rig.backwardNotifications > handled; },
                       std::chrono::seconds(5));
    EXPECT_EQ(rig.engine->lastPlayedSlot(0), last);
    const uint32_t cursor = static_cast<uint32_t>(rig.main.BackwardPlayCursor(0));
    rig.main.deckDevice()->deck(0).backwardBuffer->SetCurrentPosition(
        (kDeckSlots - 1 - static_cast<uint32_t>(last + 1)) * kChunkBytes + 4);
    handled = rig.backwardNotifications;
    deckEvents[0].playBackwardNotify.Set();
    rig.pump.PumpUntil([&] { return rig.backwardNotifications > handled; },
                       std::chrono::seconds(5));
    EXPECT_EQ(rig.engine->lastPlayedSlot(0), last);
    rig.main.deckDevice()->deck(0).backwardBuffer->SetCurrentPosition(cursor);

    // Forward again from the mirrored position.
    const uint32_t backwardCursor = static_cast<uint32_t>(rig.main.BackwardPlayCursor(0));
    StreamRig::TurnForward(0);
    EXPECT_TRUE(rig.main.IsPlayingForward(0));
    // The slots played backward count as written ahead again: above 26, nothing is fed.
    EXPECT_GT(rig.engine->CountDataSlots(0), MixerEngine::kWriteAheadNormal);
    const int writeSlot = rig.main.ForwardWriteSlot(0);
    const uint32_t resumed = kMirrorBase - backwardCursor / kChunkBytes * kChunkBytes;
    EXPECT_EQ(static_cast<uint32_t>(rig.main.ForwardPlayCursor(0)), resumed);
    const auto forward = rig.PlaySlots(3);
    EXPECT_EQ(rig.main.ForwardWriteSlot(0), writeSlot) << "fed above the write-ahead target";
    ExpectFrames(forward, {0, 1}, kRamp, forward.size() / 4, a, resumed / 4 + kRamp, kFullLeftGain);
}

TEST(Streaming, BackwardPlayStopsItselfAtTheHistoryLimit) {
    StreamRig rig;
    StartFile(rig, 300 * kChunkFrames);
    rig.PlaySlots(110);
    StreamRig::TurnBackward(0);
    for (int i = 0; i < 110 && rig.main.IsPlayingBackward(0); ++i) {
        rig.PlaySlots(1);
    }
    EXPECT_FALSE(rig.main.IsPlayingBackward(0));
    EXPECT_GE(rig.engine->CountDataSlots(0), MixerEngine::kHistoryLimit);
    EXPECT_TRUE(rig.pump.PumpUntil([] { return deckEvents[0].threadPlayBackwardDone.IsSet(); },
                                   std::chrono::seconds(5)));
}

TEST(Streaming, ATempoChangeRaisesThePitchOnBothOutputs) {
    StreamRig rig;
    std::vector<int16_t> tone;
    for (uint32_t f = 0; f < 200 * kChunkFrames; ++f) {
        const auto v =
            static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 1000.0 * f / 44100)));
        tone.push_back(v);
        tone.push_back(v);
    }
    test::WriteWav(rig.dir + "/tone.wav", 2, 16, 44100, test::Bytes(tone));
    rig.Load(0, "tone.wav");
    rig.engine->StartForward(0);
    rig.PlaySlots(2);
    SendAppMessage(hMixerWnd, WM_SET_FREQUENCY, 0, 47628);  // +8 %
    const auto out = rig.PlaySlots(15);
    for (const int channel : {0, 2}) {
        int crossings = 0;
        const size_t frames = out.size() / 4;
        for (size_t f = 1001; f < frames; ++f) {
            crossings += (Sample(out, f - 1, channel) < 0) != (Sample(out, f, channel) < 0) ? 1 : 0;
        }
        const double hz = crossings / 2.0 / ((frames - 1001) / 44100.0);
        EXPECT_NEAR(hz, 1080.0, 4.0) << "channel " << channel;
    }
}

TEST(Streaming, TenMinutesOfContinuedFilesPlayWithoutUnderrunLossOrStaleAudio) {
    StreamRig rig;
    const size_t fileFrames = 60 * 44100 + 1111;  // a minute and a bit: no whole chunks
    const auto file = rig.MakeFile("minute.wav", static_cast<int>(fileFrames), 0);
    constexpr int kPlays = 10;
    int plays = 1;
    rig.onTrackEnded = [&](int deck) {
        if (plays < kPlays) {
            trackDecoder[deck].ContinueWith(rig.dir + "/minute.wav");
            ++plays;
        }
    };
    rig.Load(0, "minute.wav");
    rig.engine->StartForward(0);
    const size_t total = kPlays * fileFrames;
    size_t frame = 0;
    size_t wrong = 0;
    while (rig.main.IsPlayingForward(0) && frame < total + 10 * kChunkFrames) {
        const auto out = rig.PlaySlots(1);
        for (size_t f = 0; f < out.size() / 4; ++f, ++frame) {
            if (frame < kRamp) {
                continue;
            }
            const double expected =
                frame < total ? file[2 * (frame % fileFrames)] * kFullLeftGain : 0.0;
            if (std::abs(Sample(out, f, 0) - expected) > 0.6) {
                ++wrong;
            }
        }
        ASSERT_EQ(wrong, 0U) << "first difference near output frame " << frame;
    }
    EXPECT_EQ(plays, kPlays);
    EXPECT_GE(frame, total) << "play stopped early";
    EXPECT_EQ(rig.stops, 1);
}

// Both outputs of a split card start, turn round and resume in the same frame; neither a turn, a
// resync, a tempo move nor a pause makes a gap or a step faster than the ramp.
TEST(Streaming, TurningRoundResyncingTempoAndPausingNeitherGapNorStepFasterThanTheRamp) {
    StreamRig rig;
    // 50 Hz at half scale moves at most 114 units a frame; the two gain ramps of a cross-fade
    // add at most 64 each.
    rig.MakeTone("low.wav", 300 * kChunkFrames, 50.0, 16000.0);
    constexpr double kAllowed = 114.0 + 2 * 16000.0 / 256.0 + 2.0;
    rig.Load(0, "low.wav");
    rig.engine->StartForward(0);
    std::vector<float> out = rig.PlaySlots(20);
    const auto play = [&](int slots) {
        const auto more = rig.PlaySlots(slots);
        out.insert(out.end(), more.begin(), more.end());
    };
    for (int turn = 0; turn < 2; ++turn) {  // Rev pressed and let go, twice
        StreamRig::TurnBackward(0);
        play(4);
        StreamRig::TurnForward(0);
        play(4);
    }
    // Both cross faders are at Deck A's end: the two outputs carry the same sound, frame for frame.
    for (size_t f = 0; f < out.size() / 4; ++f) {
        ASSERT_EQ(Sample(out, f, 0), Sample(out, f, 2)) << "frame " << f;
        ASSERT_EQ(Sample(out, f, 1), Sample(out, f, 3)) << "frame " << f;
    }
    rig.monitor.SetPlayPosition(0, 9 * kChunkBytes);  // the monitor drifts and is brought back
    play(3);
    SendAppMessage(hMixerWnd, WM_SET_FREQUENCY, 0, 47628);  // the tempo slider, up and back
    play(2);
    SendAppMessage(hMixerWnd, WM_SET_FREQUENCY, 0, 44100);
    play(2);
    // From the end of the start's fade to the pause, no gap: the tone is never quiet for longer
    // than around its zero crossings (a 30 ms gap at Rev, 5 ms at a tempo move were heard once).
    size_t longestQuiet = 0;
    for (size_t f = kRamp, run = 0; f < out.size() / 4; ++f) {
        run = std::abs(Sample(out, f, 0)) < 150.0 ? run + 1 : 0;
        longestQuiet = std::max(longestQuiet, run);
    }
    EXPECT_LT(longestQuiet, 64U);

    // A pause while playing backward, as the deck does it.
    StreamRig::TurnBackward(0);
    play(3);
    StreamRig::TurnForward(0);
    SendAppMessage(hMixerWnd, WM_STOP_FORWARD, 0);
    play(4);
    EXPECT_FALSE(rig.main.deckDevice()->deck(0).forwardBuffer->IsAudible());
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_LE(test::LargestStep(out, channel), kAllowed) << "channel " << channel;
    }
}

TEST(Streaming, BackwardPastTheStartThenForwardPlaysOnIntoTheTrack) {
    StreamRig rig;
    const auto a = StartFile(rig, 300 * kChunkFrames);
    rig.PlaySlots(3);
    StreamRig::TurnBackward(0);
    rig.PlaySlots(6);  // into the silence before the track
    StreamRig::TurnForward(0);
    const auto out = rig.PlaySlots(12);
    // Through that silence and on into the track from its start (whose first frame is 0),
    // every frame in order.
    const size_t first = FirstHeard(out);
    ASSERT_GT(first, kRamp);
    ASSERT_LT(first, out.size() / 4 - 2 * kChunkFrames) << "the deck stays silent";
    ExpectFrames(out, {0, 1}, first - 1, out.size() / 4, a, 0, kFullLeftGain);
}

TEST(Streaming, ADeckPrimedAgainDuringAFadeRebuildsItsBuffersSafely) {
    StreamRig rig;
    rig.MakeFile("a.wav", 300 * kChunkFrames, 0);
    rig.Load(0, "a.wav");
    // As a seek does it: a pause, then the reader primes the ring afresh and the engine prepares
    // the deck again, while the buffers are still fading in (then out).
    const auto seek = [&rig] {
        SendAppMessage(hMixerWnd, WM_STOP_FORWARD, 0);
        StopReader(0, ReaderKind::File, false);
        deckEvents[0].deckReadyToPlay.Reset();
        rig.Load(0, "a.wav");
    };
    for (int i = 0; i < 2; ++i) {
        rig.engine->StartForward(0);
        rig.card->Render(500);  // inside the start's fade
        seek();
        const auto fading = rig.card->Render(static_cast<int>(kChunkFrames));
        EXPECT_EQ(Sample(fading, fading.size() / 4 - 1, 0), 0.0) << "the old buffers faded out";
        EXPECT_FALSE(rig.main.IsPlayingForward(0)) << "new buffers wait for a start";
    }
    rig.engine->StartForward(0);
    rig.PlaySlots(3);
    seek();  // with the stop's fade under way
    rig.engine->StartForward(0);
    const auto out = rig.PlaySlots(3);
    EXPECT_TRUE(rig.main.IsPlayingForward(0));
    EXPECT_NE(Sample(out, out.size() / 4 - 1, 0), 0.0) << "the deck is heard from its new buffers";
}

TEST(Streaming, ReopeningTheMainOutputWhilePlayingGoesOnFromThePositionHeard) {
    StreamRig rig;
    const auto a = StartFile(rig, 300 * kChunkFrames);
    rig.PlaySlots(30);
    const auto heard = static_cast<size_t>(rig.main.ForwardPlayCursor(0) / 4);
    auto card = std::make_shared<ManualClockCard>(2);
    rig.engine->SuspendForDeviceChange();
    rig.main.Open(card, 0, "another");
    rig.engine->ResumeAfterDeviceChange();
    EXPECT_TRUE(rig.main.IsPlayingForward(0));
    const int before = rig.forwardNotifications;
    const auto out = rig.PlaySlotsOn(*card, 15);  // one second
    // One wake-up per slot: the forwarder waits between them.
    EXPECT_LE(rig.forwardNotifications - before, 16);
    for (size_t f = kRamp; f < out.size() / 2; ++f) {
        const size_t at = heard + f;
        ASSERT_NEAR(out[2 * f] * 32768.0, a[2 * at] * kFullLeftGain, 0.6) << "frame " << f;
    }
}

// Tracks that end in the middle of a chunk: at the card's rate one longer than the priming amount
// and one shorter, heard sample for sample; at other rates ten seconds of a tone.
struct Ending {
    int rate;
    size_t frames;
};

class EndOfTrack : public ::testing::TestWithParam<Ending> {};

TEST_P(EndOfTrack, PlayStopsAtTheLastSampleWithNothingAfterIt) {
    StreamRig rig;
    const auto [rate, frames] = GetParam();
    std::vector<int16_t> file;
    if (rate == 44100) {
        file = StartFile(rig, frames);
    } else {
        rig.MakeTone("tone.wav", frames, 441.0, 8000.0, rate);
        rig.Load(0, "tone.wav");
        rig.engine->StartForward(0);
    }
    const size_t end = frames * 44100 / static_cast<size_t>(rate);  // on the card's clock
    std::vector<float> out;
    size_t stopped = 0;
    while (out.size() / 4 < end + 6 * kChunkFrames) {
        const auto more = rig.PlaySlots(1);
        out.insert(out.end(), more.begin(), more.end());
        if (out.size() / 4 < end) {
            ASSERT_TRUE(rig.main.IsPlayingForward(0)) << "stopped early at " << out.size() / 4;
        } else if (stopped == 0 && !rig.main.IsPlayingForward(0)) {
            stopped = out.size() / 4;
        }
    }
    // Within a slot of the track's own rate, and the block this test renders at a time.
    const size_t slot = kChunkFrames * 44100 / static_cast<size_t>(rate);
    EXPECT_GT(stopped, 0U);
    EXPECT_LE(stopped, end + slot + kChunkFrames);
    EXPECT_EQ(rig.stops, 1);
    EXPECT_EQ(forwardNotifyRunning[0].load(), 0U);
    if (rate == 44100) {
        ExpectFrames(out, {0, 1}, kRamp, end + 64, file, kRamp, kFullLeftGain);
    } else {
        EXPECT_NE(Sample(out, end - 200, 0), 0.0) << "the end of the track is heard";
    }
    // Past the interpolation filter's reach (under 1.5 ms), only silence.
    for (size_t f = end + 64; f < out.size() / 4; ++f) {
        ASSERT_EQ(Sample(out, f, 0), 0.0) << "heard after the end, frame " << f;
    }
    EXPECT_EQ(rig.nestedStops, 0) << "a stop ran inside another handler";
    // No handler waits out the end (a reader, a stop inside another handler): that takes
    // seconds. The bound leaves room for a sanitizer build on a busy machine, where an ordinary
    // handler has been seen to take a third of a second.
    EXPECT_LT(rig.longestHandler, std::chrono::milliseconds(1000));
}

INSTANTIATE_TEST_SUITE_P(Lengths, EndOfTrack,
                         ::testing::Values(Ending{44100, 130 * kChunkFrames + 100},
                                           Ending{44100, 40 * kChunkFrames + 7},
                                           Ending{48000, 480123}, Ending{96000, 960123}));
