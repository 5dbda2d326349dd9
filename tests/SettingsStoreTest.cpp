#include "core/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "decoder/DecoderRig.h"
#include "platform/SoundSystem.h"

namespace fs = std::filesystem;
using tev::SettingsStore;
namespace test = tev::test;

namespace {

class Settings : public ::testing::Test {
  protected:
    std::string Contents() const { return test::ReadFile(file); }
    void Write(const std::string& text) const { test::WriteFile(file, text); }

    test::TempDir temp;
    const fs::path dir = temp.path;
    const fs::path file = dir / "Tev Quillet" / "TevAudio.conf";
};

}  // namespace

TEST_F(Settings, FirstLoadWritesTheDefaultAndReturnsIt) {
    SettingsStore store(file);
    EXPECT_FALSE(store.Exists("levelDeckA"));
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(0), 0.7F);
    EXPECT_TRUE(store.Exists("levelDeckA"));
    EXPECT_EQ(store.ReadNumber("levelDeckA"), SettingsStore::FractionBits(0.7F));
    EXPECT_EQ(store.LoadSoundDeviceMain(), "");
    EXPECT_TRUE(store.Exists("soundDeviceMain"));
    EXPECT_NE(Contents().find("[Settings]"), std::string::npos);
}

TEST_F(Settings, AFractionIsStoredAsTheBitsOfItsFloat) {
    SettingsStore store(file);
    store.SaveCrossFaderCurvePosition(0.25F);
    EXPECT_EQ(store.ReadNumber("crossFaderCurvePosition"), 0x3E800000U);
    EXPECT_NE(Contents().find("crossFaderCurvePosition=1048576000"), std::string::npos);
    EXPECT_FLOAT_EQ(store.LoadCrossFaderCurvePosition(), 0.25F);
    store.SaveCrossFaderCurvePosition(-0.5F);
    EXPECT_FLOAT_EQ(store.LoadCrossFaderCurvePosition(), -0.5F);
}

TEST_F(Settings, TextSurvivesUnicodeSeparatorsAndBlanks) {
    SettingsStore store(file);
    for (const std::string& text :
         {std::string("Créative Sound Blaster = Front (Façade) 🎧"), std::string("  padded  "),
          std::string("a\\b\nc\td\"e"), std::string("\"quoted\""), std::string(";not a comment")}) {
        store.SaveSoundDeviceHeadphones(text);
        EXPECT_EQ(store.LoadSoundDeviceHeadphones(), text);
    }
    EXPECT_EQ(Contents().find("\n\n\n"), std::string::npos);
}

// The file is read once; a save that changes nothing writes nothing, and one that changes a value
// writes the file with every other value as it was read.
TEST_F(Settings, TheFileIsReadOnceAndOnlyAChangeIsWritten) {
    SettingsStore store(file);
    EXPECT_EQ(store.LoadColorDeck(0), 0x00FFABCDU);
    const uint64_t writes = store.writes();
    std::filesystem::remove(file);
    EXPECT_EQ(store.LoadColorDeck(0), 0x00FFABCDU) << "read again";
    store.SaveColorDeck(0, 0x00FFABCD);
    EXPECT_EQ(store.writes(), writes);
    EXPECT_FALSE(std::filesystem::exists(file));
    store.SaveColorDeck(0, 0x00123456);
    EXPECT_EQ(store.writes(), writes + 1);
    EXPECT_EQ(SettingsStore(file).LoadColorDeck(0), 0x00123456U);
    EXPECT_EQ(SettingsStore(file).LoadColorDeck(1), store.LoadColorDeck(1));
}

TEST_F(Settings, ASaveKeepsLinesItDoesNotChange) {
    Write("# my notes\n[Other]\nlevelDeckA=5\n\n[Settings]\nshowTipOfTheDay=0\nunknown=kept\n");
    SettingsStore store(file);
    store.SaveTipOfTheDayIndex(7);
    store.SaveShowTipOfTheDay(true);
    const std::string text = Contents();
    EXPECT_NE(text.find("# my notes\n[Other]\nlevelDeckA=5\n"), std::string::npos);
    EXPECT_NE(text.find("showTipOfTheDay=1\nunknown=kept\ntipOfTheDayIndex=7\n"),
              std::string::npos);
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(0), 0.7F) << "a value of another group is not ours";
}

TEST_F(Settings, ACorruptFileNeverStopsTheProgramAndYieldsDefaults) {
    Write(std::string("\x00\xff", 2) + "\xfe garbage\n[Settings\ncolorDeckA=not a number\n" +
          "levelDeckB=0x3F000000\ncrossFaderCurvePosition=99999999999\n=\n");
    SettingsStore store(file);
    EXPECT_EQ(store.LoadColorDeck(0), 0x00FFABCDU);
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(1), 0.7F);  // not in a [Settings] group
    store.SaveLevelDeck(1, 0.5F);
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(1), 0.5F);
    EXPECT_NE(Contents().find("garbage"), std::string::npos) << "unknown lines were dropped";

    // The bits of a NaN and a negative colour are defaults; hexadecimal is understood.
    Write("[Settings]\nlevelDeckA=2143289344\ncolorDeckB=-5\ncrossFaderCurvePosition=0x3E800000\n");
    SettingsStore again(file);
    EXPECT_FLOAT_EQ(again.LoadLevelDeck(0), 0.7F);
    EXPECT_EQ(again.LoadColorDeck(1), 0x00ABCDFFU);
    EXPECT_FLOAT_EQ(again.LoadCrossFaderCurvePosition(), 0.25F);
}

class HostileSettings : public Settings, public ::testing::WithParamInterface<std::string> {};

// Whatever a value holds, it loads within the range of the control it sets.
TEST_P(HostileSettings, EveryValueLoadsWithinItsRange) {
    Write("[Settings]\n" + GetParam());
    SettingsStore store(file);
    for (int deck = 0; deck < 2; ++deck) {
        const float level = store.LoadLevelDeck(deck);
        EXPECT_TRUE(level >= 0.0F && level <= 1.0F) << level;
        EXPECT_LE(store.LoadColorDeck(deck), 0x00FFFFFFU);
    }
    const float curve = store.LoadCrossFaderCurvePosition();
    EXPECT_TRUE(curve >= -1.0F && curve <= 1.0F) << curve;
    const int latency = store.LoadOutputLatencyMs();
    EXPECT_NE(std::find(std::begin(tev::SoundSystem::kLatencyChoicesMs),
                        std::end(tev::SoundSystem::kLatencyChoicesMs), latency),
              std::end(tev::SoundSystem::kLatencyChoicesMs))
        << latency;
    const std::string format = store.LoadRecordingFormat();
    EXPECT_TRUE(format == "flac" || format == "wav" || format == "mp3" || format == "ogg")
        << format;
}

std::string AllValues(const std::string& value) {
    std::string text;
    for (const char* name : {"levelDeckA", "levelDeckB", "crossFaderCurvePosition", "colorDeckA",
                             "colorDeckB", "outputLatencyMs", "recordingFormat"}) {
        text += std::string(name) + "=" + value + "\n";
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettings,
    ::testing::Values(AllValues(std::to_string(SettingsStore::FractionBits(1e30F))),
                      AllValues(std::to_string(SettingsStore::FractionBits(-1e30F))),
                      AllValues(std::to_string(SettingsStore::FractionBits(NAN))),
                      AllValues("0xFFFFFFFF"), AllValues("-1"), AllValues("4294967296"),
                      AllValues(std::string(1 << 20, '7')),
                      std::string("levelDeckA=\x01\xff\xfe\n\x00\x00colorDeckA", 25) +
                          std::string(1 << 20, '\xff') + "\n"));

TEST_F(Settings, ATemporaryFileLeftByACrashedSaveIsCleanedUp) {
    Write("[Settings]\n");
    const fs::path leftover = file.parent_path() / ".TevAudio.conf.saving-k3Xq9Z";
    const fs::path other = file.parent_path() / ".TevAudio.conf.backup";
    std::ofstream(leftover) << "[Settings]\nlevelDeckA=1\n";
    std::ofstream(other) << "the user's own";
    SettingsStore store(file);
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(Settings, AnUnwritableStoreReturnsDefaultsAndKeepsRunning) {
    if (geteuid() == 0) {
        // root writes anywhere: make the store's folder a file instead.
        fs::create_directories(dir);
        std::ofstream(dir / "Tev Quillet") << "in the way";
    } else {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    }
    SettingsStore store(file);
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(0), 0.7F);
    EXPECT_EQ(store.LoadColorDeck(1), 0x00ABCDFFU);
    EXPECT_TRUE(store.LoadShowTipOfTheDay());
    EXPECT_FALSE(store.WriteNumber("tipOfTheDayIndex", 3));
    EXPECT_EQ(store.LoadTipOfTheDayIndex(), 0U);
}

TEST_F(Settings, AnUnreadableFileIsNeverOverwritten) {
    Write("[Settings]\ncolorDeckA=1\n");
    if (geteuid() == 0) {
        fs::remove(file);
        fs::create_directory(file);  // a folder where the file should be
    } else {
        fs::permissions(file, fs::perms::none);
    }
    SettingsStore store(file);
    EXPECT_EQ(store.LoadColorDeck(0), 0x00FFABCDU);
    EXPECT_FALSE(store.WriteNumber("colorDeckA", 2));
    if (geteuid() != 0) {
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(Contents(), "[Settings]\ncolorDeckA=1\n");
    }
}

TEST_F(Settings, ASaveReplacesTheFileWholeAndFollowsALink) {
    SettingsStore store(file);
    store.SaveColorDeck(1, 42);
    const fs::path real = dir / "dotfiles.conf";
    fs::rename(file, real);
    fs::create_symlink(real, file);
    store.SaveColorDeck(1, 43);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(SettingsStore(real).LoadColorDeck(1), 43U);
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".TevAudio.conf."), std::string::npos)
            << "temporary file left behind";
    }
}

TEST_F(Settings, APerDeckSettingOfAnUnknownDeckHasNoNameAndItsDefault) {
    SettingsStore store(file);
    EXPECT_EQ(store.LoadColorDeck(2), 0U);
    EXPECT_FLOAT_EQ(store.LoadLevelDeck(-1), 0.7F);
    EXPECT_FALSE(fs::exists(file));
}

TEST(SettingsPath, FollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(),
              fs::path("/somewhere/config/Tev Quillet/TevAudio.conf"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(SettingsStore::DefaultPath().filename(), "TevAudio.conf");
    EXPECT_TRUE(SettingsStore::DefaultPath().is_absolute());
    if (old != nullptr) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}
