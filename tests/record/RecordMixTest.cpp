#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "output/Recorder.h"
#include "record/DecodeFile.h"
#include "streaming/StreamRig.h"

using namespace tev;
using namespace tev::test;

// Two decks through the mixer engine, both on the main output (cross fader in the middle, deck
// levels, an echo on Deck B) and only Deck A on the monitor: the recording is the main pair of
// the card, sample for sample, in FLAC and in WAV.
TEST(RecordMix, TwoDecksThroughTheMixerAreRecordedAsTheMainOutputHearsThem) {
    StreamRig rig;
    rig.MakeFile("a.wav", 200 * kChunkFrames, 0);
    rig.MakeFile("b.wav", 200 * kChunkFrames, 500);
    rig.Load(0, "a.wav");
    rig.Load(1, "b.wav");
    rig.engine->mainCrossFader.Set(0.0);
    rig.engine->monitorCrossFader.Set(-1.0);
    rig.engine->deckLevel[0].Set(0.9);
    rig.engine->deckLevel[1].Set(0.7);
    rig.engine->UpdateDeckVolumes();
    rig.decks.effectName[1] = "Echo";
    effectParameter[1][0] = 50.0F;
    effectParameter[1][1] = 100.0F;
    SendAppMessage(hMixerWnd, WM_SET_EFFECT, 1);
    rig.engine->StartForward(0);
    rig.engine->StartForward(1);
    rig.PlaySlots(3);

    Recorder recorder;
    std::string error;
    for (const RecordingFormat format : {RecordingFormat::Flac, RecordingFormat::Wav}) {
        ASSERT_TRUE(recorder.Start(rig.main.deckDevice()->device(), rig.dir, format, error))
            << error;
        std::vector<int16_t> main;
        std::vector<int16_t> monitor;
        for (int slot = 0; slot < 20; ++slot) {
            const auto out = rig.PlaySlots(1);
            for (size_t f = 0; f < out.size() / 4; ++f) {
                for (int c = 0; c < 2; ++c) {
                    main.push_back(RecordingSample(out[4 * f + c]));
                    monitor.push_back(RecordingSample(out[4 * f + 2 + c]));
                }
            }
            // Real time gives the writer a slot's time; here it gets what it needs.
            while (recorder.Status().framesPending > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        recorder.Stop();
        const RecordingStatus status = recorder.Status();
        EXPECT_EQ(status.error, "");
        EXPECT_EQ(status.gaps, 0);
        const Decoded file = Decode(status.path);
        ASSERT_TRUE(file.opened);
        ASSERT_EQ(file.frames(), 20 * kChunkFrames) << RecordingFormatName(format);
        EXPECT_TRUE(file.samples == main) << RecordingFormatName(format);
        EXPECT_FALSE(file.samples == monitor);
    }
}
