#include <gtest/gtest.h>

#include "record/DecodeFile.h"
#include "support/AppRig.h"

using namespace tev;
using namespace tev::test;

// The mixer's recorder takes the main output's device as the program opened it; closing the
// program while it records finishes the file with everything the main output played.
TEST(MixerRecording, ClosingTheProgramWhileRecordingFinishesTheFile) {
    AppRig rig;
    rig.MakeFile("a.wav", 100 * static_cast<int>(kChunkFrames), 0);
    rig.MakeFile("b.wav", 100 * static_cast<int>(kChunkFrames), 300);
    rig.Browse(0, "a.wav");
    rig.Browse(1, "b.wav");
    ASSERT_TRUE(rig.Play({0, 1}));
    Recorder& recorder = rig.mixer->recorder();
    std::string error;
    ASSERT_TRUE(recorder.Start(rig.mixer->mainOutput().deckDevice()->device(), rig.Path("sets"),
                               RecordingFormat::Flac, error))
        << error;
    const auto out = rig.PlaySlots(8);
    const std::string path = recorder.Status().path;
    SendAppMessage(hMainWnd, WM_CLOSE);
    std::vector<int16_t> main;
    for (size_t f = 0; f < out.size() / 4; ++f) {
        main.push_back(RecordingSample(out[4 * f]));
        main.push_back(RecordingSample(out[4 * f + 1]));
    }
    const Decoded file = Decode(path);
    ASSERT_TRUE(file.opened);
    EXPECT_EQ(file.declaredFrames, static_cast<int64_t>(main.size() / 2));
    EXPECT_TRUE(file.samples == main);
    EXPECT_NE(file.samples, std::vector<int16_t>(main.size(), 0)) << "both decks are heard";
}
