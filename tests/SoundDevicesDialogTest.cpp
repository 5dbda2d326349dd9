#include "core/CTevSoundDevices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QPushButton>
#include <QSlider>

#include "controls/CTevColorSquare.h"
#include "core/EngineState.h"
#include "core/SettingsStore.h"
#include "decoder/DecoderRig.h"

using namespace tev;

namespace {

class SoundDevicesDialog : public ::testing::Test {
  protected:
    SoundDevicesDialog() {
        colorDeckA = 0x00FFABCD;
        colorDeckB = 0x00ABCDFF;
    }

    static std::vector<SoundDeviceInfo> Devices() {
        return {{"Quad Card (hw:0,0)", 4, true}, {"Headphones (hw:1,0)", 2, false}};
    }

    test::TempDir dir_;
    SettingsStore settings_{dir_.path + "/TevAudio.conf"};
};

}  // namespace

TEST_F(SoundDevicesDialog, TheFirstRunConfirmsTheDefaultsUnseen) {
    CTevSoundDevices dialog(settings_, Devices);
    EXPECT_TRUE(dialog.Run());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.mainText(), "Quad Card (hw:0,0) (Can Split)");
    EXPECT_EQ(*dialog.mainDevice(), "Quad Card (hw:0,0)");
    EXPECT_EQ(dialog.monitorText(), "Headphones (hw:1,0) (Can't Split)");
    EXPECT_EQ(settings_.ReadText("soundDeviceMain"), "Quad Card (hw:0,0) (Can Split)");
    EXPECT_EQ(settings_.ReadText("soundDeviceHeadphones"), "Headphones (hw:1,0) (Can't Split)");
    EXPECT_EQ(settings_.ReadNumber("colorDeckA"), 0x00FFABCDU);
}

TEST_F(SoundDevicesDialog, SplitInTheDialogGivesFrontToMainAndRearToMonitor) {
    CTevSoundDevices dialog(settings_, Devices);
    dialog.Run();
    ASSERT_TRUE(dialog.OnInitDialog());  // a later showing
    QComboBox* main = dialog.list(SoundDeviceList::kMain);
    QComboBox* monitor = dialog.list(SoundDeviceList::kMonitor);
    EXPECT_TRUE(dialog.splitButton(SoundDeviceList::kMain)->isEnabled());
    EXPECT_FALSE(dialog.joinButton(SoundDeviceList::kMain)->isEnabled());
    dialog.splitButton(SoundDeviceList::kMain)->click();
    EXPECT_EQ(main->currentText().toStdString(), "Quad Card (hw:0,0) (Front)");
    EXPECT_EQ(monitor->currentText().toStdString(), "Quad Card (hw:0,0) (Rear)");
    EXPECT_EQ(main->count(), 4);

    // Choosing the main list's entry in the monitor list moves the main list to the other half.
    monitor->setCurrentIndex(1);
    EXPECT_EQ(main->currentText().toStdString(), "Quad Card (hw:0,0) (Rear)");

    dialog.OnOK();
    EXPECT_EQ(dialog.mainText(), "Quad Card (hw:0,0) (Rear)");
    EXPECT_EQ(dialog.monitorText(), "Quad Card (hw:0,0) (Front)");
    EXPECT_EQ(settings_.ReadText("soundDeviceMain"), "Quad Card (hw:0,0) (Rear)");

    // A new run (the next start of the program) splits the card again.
    CTevSoundDevices next(settings_, Devices);
    next.Run();
    EXPECT_EQ(next.mainText(), "Quad Card (hw:0,0) (Rear)");
    EXPECT_EQ(next.monitorText(), "Quad Card (hw:0,0) (Front)");
}

TEST_F(SoundDevicesDialog, ColoursFollowTheSlidersAndAreStoredOnOk) {
    CTevSoundDevices dialog(settings_, Devices);
    dialog.Run();
    dialog.OnInitDialog();
    dialog.colorSlider(0, 0)->setValue(255);
    dialog.colorSlider(0, 1)->setValue(0);
    dialog.colorSlider(0, 2)->setValue(0);
    EXPECT_EQ(dialog.colorSquare(0)->color(), 0x000000FFU);
    dialog.OnOK();
    EXPECT_EQ(colorDeckA, 0x000000FFU);
    EXPECT_EQ(settings_.ReadNumber("colorDeckA"), 0x000000FFU);
    EXPECT_EQ(settings_.ReadNumber("colorDeckB"), 0x00ABCDFFU);
}

TEST_F(SoundDevicesDialog, TheLatencyIsOneOfTheChoicesStoredOnOkWhateverTheFileHeld) {
    CTevSoundDevices dialog(settings_, Devices);
    dialog.Run();
    EXPECT_EQ(dialog.latencyMs(), 80) << "the default";
    EXPECT_EQ(settings_.ReadNumber("outputLatencyMs"), 80U);
    dialog.OnInitDialog();
    dialog.latencyList()->setCurrentIndex(dialog.latencyList()->findData(20));
    dialog.OnOK();
    EXPECT_EQ(dialog.latencyMs(), 20);
    EXPECT_EQ(settings_.ReadNumber("outputLatencyMs"), 20U);
    // A value edited by hand (or damaged) takes the nearest choice.
    for (const auto& [stored, shown] :
         {std::pair{7U, 10}, {55U, 40}, {4000000000U, 160}, {0U, 10}}) {
        settings_.WriteNumber("outputLatencyMs", stored);
        CTevSoundDevices next(settings_, Devices);
        next.Run();
        EXPECT_EQ(next.latencyMs(), shown) << stored;
    }
}

TEST_F(SoundDevicesDialog, TheRecordingFolderAndAFormatThisMachineEncodesAreStoredOnOk) {
    CTevSoundDevices dialog(settings_, Devices);
    dialog.Run();
    EXPECT_EQ(dialog.recordingFolder(), "") << "the default folder";
    EXPECT_EQ(dialog.recordingFormat(), "flac");
    dialog.OnInitDialog();
    QString askedFrom;
    dialog.SetDefaultRecordingFolder(QStringLiteral("/home/dj/Music/TevAudio"));
    dialog.SetFolderChooser([&askedFrom](const QString& start) {
        askedFrom = start;
        return QStringLiteral("/mnt/sets");
    });
    dialog.recordingFolderButton()->click();
    EXPECT_EQ(askedFrom, QStringLiteral("/home/dj/Music/TevAudio"));
    dialog.SetFolderChooser([](const QString&) { return QString(); });  // cancelled
    dialog.recordingFolderButton()->click();
    dialog.recordingFormatList()->setCurrentIndex(dialog.recordingFormatList()->findData("ogg"));
    dialog.OnOK();
    EXPECT_EQ(dialog.recordingFolder(), "/mnt/sets");
    EXPECT_EQ(settings_.ReadText("recordingFolder"), "/mnt/sets");
    EXPECT_EQ(settings_.ReadText("recordingFormat"), "ogg");

    // On a machine without the Ogg encoder, the stored choice falls back to the first offered.
    CTevSoundDevices other(settings_, Devices);
    other.SetRecordingFormats({{"flac", QStringLiteral("FLAC")}, {"wav", QStringLiteral("WAV")}});
    other.Run();
    EXPECT_EQ(other.recordingFormat(), "flac");
    EXPECT_EQ(other.recordingFolder(), "/mnt/sets");
}

TEST_F(SoundDevicesDialog, AStoredDeviceThatIsGoneFallsBackToTheDefaults) {
    settings_.SaveSoundDeviceMain("Vanished USB (hw:5,0) (Can't Split)");
    CTevSoundDevices dialog(settings_, Devices);
    dialog.Run();
    EXPECT_EQ(dialog.mainText(), "Quad Card (hw:0,0) (Can Split)");
    CTevSoundDevices none(settings_, [] { return std::vector<SoundDeviceInfo>{}; });
    none.Run();
    EXPECT_FALSE(none.mainDevice().has_value());
    EXPECT_FALSE(none.monitorDevice().has_value());
    EXPECT_EQ(none.mainText(), SoundDeviceList::kDisabled);
}
