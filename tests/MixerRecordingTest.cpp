#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <fstream>

#include "controls/CTevButtonCtrl.h"
#include "core/CTevSoundDevices.h"
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

// The record button records into the folder and format chosen in Options, shows the time in
// the Options title while it records, and finishes the file when clicked again; a folder that
// cannot be recorded into is told, and the button stays off.
TEST(MixerRecording, TheRecordButtonRecordsIntoTheChosenFolderAndSaysWhyWhenItCannot) {
    AppRig rig;
    CTevMixer& mixer = *rig.mixer;
    const auto choose = [&](const std::string& folder, const char* format) {
        CTevSoundDevices& options = *mixer.optionsDialog();
        options.OnInitDialog();
        options.recordingFolderField()->setText(QString::fromStdString(folder));
        options.recordingFormatList()->setCurrentIndex(
            options.recordingFormatList()->findData(QString::fromLatin1(format)));
        options.OnOK();
    };
    rig.MakeFile("a.wav", 100 * static_cast<int>(kChunkFrames), 0);
    rig.Browse(0, "a.wav");
    ASSERT_TRUE(rig.Play({0}));

    std::ofstream(rig.Path("not a folder")) << "x";
    choose(rig.Path("not a folder"), "wav");
    mixer.recordButton()->click();
    ASSERT_EQ(rig.told.size(), 1);
    EXPECT_TRUE(rig.told.back().startsWith(QStringLiteral("Cannot record into")))
        << rig.told.back().toStdString();
    EXPECT_EQ(mixer.recordButton()->ImageFileName(), QStringLiteral("record.png"));

    choose(rig.Path("sets"), "wav");
    mixer.recordButton()->click();
    ASSERT_EQ(mixer.recordButton()->ImageFileName(), QStringLiteral("recordOn.png"));
    const auto out = rig.PlaySlots(20);  // 1.3 s
    const std::string path = mixer.recorder().Status().path;
    EXPECT_EQ(path.substr(0, rig.Path("sets/TevAudio ").size()), rig.Path("sets/TevAudio "));
    EXPECT_EQ(path.substr(path.size() - 4), ".wav");
    ASSERT_TRUE(AppRig::PumpUntil([&] {
        mixer.ShowRecording();
        return mixer.optionsBox()->title().contains(QStringLiteral("Recording 0:00:01, "));
    })) << mixer.optionsBox()->title().toStdString();
    mixer.recordButton()->click();
    EXPECT_EQ(mixer.recordButton()->ImageFileName(), QStringLiteral("record.png"));
    EXPECT_EQ(mixer.optionsBox()->title(), QStringLiteral("Options"));
    const Decoded file = Decode(path);
    ASSERT_TRUE(file.opened);
    ASSERT_EQ(file.samples.size(), out.size() / 2);
    for (size_t f = 0; f < out.size() / 4; ++f) {
        ASSERT_EQ(file.samples[2 * f], RecordingSample(out[4 * f])) << f;
    }
    EXPECT_EQ(rig.told.size(), 1) << rig.told.join(' ').toStdString();
}
