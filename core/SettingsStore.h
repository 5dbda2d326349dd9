#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tev {

// The program's persistent settings: one INI file, group [Settings], read once (at the first load)
// and written at once on every save that changes it. A load writes the default first when the
// value is absent, so after the first run every setting is in the file.
//
// Values have three kinds: text, number (unsigned 32-bit) and fraction (a 32-bit float kept as the
// number holding its bit pattern). A store that cannot be read or written never stops the
// program: loads then return the setting's default, and the first failure is reported once on
// standard error. A save replaces the file through a temporary file and a rename, so the file is
// never left half written, and it keeps every line it does not change.
//
// [UI thread] Every operation is synchronous.
class SettingsStore {
  public:
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME (or ~/.config)/Tev Quillet/TevAudio.conf
    static std::filesystem::path DefaultPath();

    const std::filesystem::path& path() const { return file_; }

    // Primitive operations. Writes return false when the store could not be written.
    bool WriteText(std::string_view name, std::string_view text);
    bool WriteNumber(std::string_view name, uint32_t value);
    // Empty text or 0 when the store or the value cannot be read.
    std::string ReadText(std::string_view name) const;
    uint32_t ReadNumber(std::string_view name) const;
    // True when the store can be read and holds the value.
    bool Exists(std::string_view name) const;
    // Times the file was written since the store was made.
    uint64_t writes() const { return writes_; }

    uint32_t LoadTipOfTheDayIndex();
    void SaveTipOfTheDayIndex(uint32_t index);
    bool LoadShowTipOfTheDay();
    void SaveShowTipOfTheDay(bool show);
    std::string LoadSoundDeviceMain();
    void SaveSoundDeviceMain(std::string_view device);
    std::string LoadSoundDeviceHeadphones();
    void SaveSoundDeviceHeadphones(std::string_view device);
    float LoadLevelDeck(int deck);
    void SaveLevelDeck(int deck, float level);
    float LoadCrossFaderCurvePosition();
    void SaveCrossFaderCurvePosition(float position);
    // Milliseconds, always one of the sound system's choices.
    int LoadOutputLatencyMs();
    void SaveOutputLatencyMs(int ms);
    // Where recordings go; empty for the default folder.
    std::string LoadRecordingFolder();
    void SaveRecordingFolder(std::string_view folder);
    // The recording format's key ("flac", "wav", "mp3", "ogg"); "flac" when unset or unknown.
    std::string LoadRecordingFormat();
    void SaveRecordingFormat(std::string_view format);
    uint32_t LoadColorDeck(int deck);  // 0x00BBGGRR
    void SaveColorDeck(int deck, uint32_t color);

    static uint32_t FractionBits(float value);
    static float FractionFromBits(uint32_t bits);

  private:
    std::optional<std::string> Lookup(std::string_view name) const;
    std::optional<uint32_t> LookupNumber(std::string_view name) const;
    bool Store(std::string_view name, const std::string& encodedValue);
    uint32_t LoadNumber(std::string_view name, uint32_t fallback);
    std::string LoadText(std::string_view name, std::string_view fallback);
    float LoadFraction(std::string_view name, float fallback, float lowest, float highest);
    void ReportOnce(const std::string& what) const;
    // The file's text, read at the first call; nullptr when it could not be read (a missing file
    // reads as empty).
    const std::string* Content() const;

    std::filesystem::path file_;
    mutable bool read_ = false;
    mutable bool readable_ = false;
    mutable std::string content_;
    mutable bool reported_ = false;
    uint64_t writes_ = 0;
};

// The store of this process, at DefaultPath().
SettingsStore& Settings();

// The INI text under the store, without any file: the raw value of `name` in `group` (names
// and groups without regard to case; comments and other groups skipped), and the text with that
// value set, every other line kept.
std::optional<std::string> IniLookup(const std::string& content, std::string_view group,
                                     std::string_view name);
std::string IniWithValue(const std::string& content, std::string_view group, std::string_view name,
                         const std::string& value);

}  // namespace tev
