#include "core/SettingsStore.h"

#include "core/ReplaceFile.h"
#include "platform/SoundSystem.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tev {
namespace {

constexpr std::string_view kGroup = "Settings";
// Far more than the settings ever take; a larger file is not ours to rewrite.
constexpr size_t kMaxFileBytes = 1 << 20;

enum class FileStatus { Ok, Missing, Failed };

FileStatus ReadWholeFile(const std::filesystem::path& file, std::string& content,
                         std::string& error) {
    content.clear();
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return FileStatus::Missing;
        }
        error = std::strerror(errno);
        return FileStatus::Failed;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
        ::close(fd);
        return FileStatus::Failed;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::strerror(errno);
            ::close(fd);
            return FileStatus::Failed;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(got));
        if (content.size() > kMaxFileBytes) {
            error = "file too large";
            ::close(fd);
            return FileStatus::Failed;
        }
    }
    ::close(fd);
    return FileStatus::Ok;
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string_view Trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && space(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && space(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// A group header yields its name.
std::optional<std::string_view> GroupOf(std::string_view line) {
    line = Trim(line);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        return Trim(line.substr(1, line.size() - 2));
    }
    return std::nullopt;
}

// A "name=value" line of the settings yields its raw value.
std::optional<std::string_view> ValueOf(std::string_view line, std::string_view name) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        return std::nullopt;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !EqualsNoCase(Trim(line.substr(0, eq)), name)) {
        return std::nullopt;
    }
    return Trim(line.substr(eq + 1));
}

// Text is kept on one line: backslash escapes for the control characters, and quotes when
// surrounding blanks (or a leading quote) must survive the trimming of values.
std::string EncodeText(std::string_view text) {
    std::string body;
    for (const char c : text) {
        switch (c) {
            case '\\':
                body += "\\\\";
                break;
            case '\n':
                body += "\\n";
                break;
            case '\r':
                body += "\\r";
                break;
            case '\t':
                body += "\\t";
                break;
            case '"':
                body += "\\\"";
                break;
            default:
                body += c;
        }
    }
    const bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
    return quote ? "\"" + body + "\"" : body;
}

std::string DecodeText(std::string_view raw) {
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        raw = raw.substr(1, raw.size() - 2);
    }
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            text += raw[i];
            continue;
        }
        const char next = raw[++i];
        switch (next) {
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            default:
                text += next;  // \\ and \" and anything a person typed
        }
    }
    return text;
}

std::optional<uint32_t> ParseNumber(std::string_view raw) {
    int base = 10;
    if (raw.size() > 2 && raw[0] == '0' && (raw[1] == 'x' || raw[1] == 'X')) {
        base = 16;
        raw.remove_prefix(2);
    }
    if (raw.empty() || raw.size() > 10) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : raw) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (value > 0xFFFFFFFFULL) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

bool ValidName(std::string_view name) {
    return !name.empty() && name.find_first_of("=[]\n\r;#") == std::string_view::npos &&
           Trim(name) == name;
}

std::string DeckName(std::string_view stem, int deck) {
    if (deck == 0) {
        return std::string(stem) + "A";
    }
    if (deck == 1) {
        return std::string(stem) + "B";
    }
    return {};
}

constexpr uint32_t kDefaultColor[2] = {0x00FFABCD, 0x00ABCDFF};
constexpr float kDefaultLevel = 0.7F;

}  // namespace

std::optional<std::string> IniLookup(const std::string& content, std::string_view group,
                                     std::string_view name) {
    bool inGroup = false;
    for (const std::string& line : SplitLines(content)) {
        if (auto header = GroupOf(line)) {
            inGroup = EqualsNoCase(*header, group);
        } else if (inGroup) {
            if (auto value = ValueOf(line, name)) {
                return std::string(*value);
            }
        }
    }
    return std::nullopt;
}

std::string IniWithValue(const std::string& content, std::string_view group, std::string_view name,
                         const std::string& value) {
    std::vector<std::string> lines = SplitLines(content);
    const std::string entry = std::string(name) + "=" + value;
    bool inGroup = false;
    std::optional<size_t> groupEnd;
    bool replaced = false;
    for (size_t i = 0; i < lines.size() && !replaced; ++i) {
        if (auto header = GroupOf(lines[i])) {
            inGroup = EqualsNoCase(*header, group);
            if (inGroup) {
                groupEnd = i + 1;
            }
        } else if (inGroup) {
            if (ValueOf(lines[i], name)) {
                lines[i] = entry;
                replaced = true;
            } else if (!Trim(lines[i]).empty()) {
                groupEnd = i + 1;
            }
        }
    }
    if (!replaced) {
        if (groupEnd) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*groupEnd), entry);
        } else {
            if (!lines.empty() && !Trim(lines.back()).empty()) {
                lines.emplace_back();
            }
            lines.push_back("[" + std::string(group) + "]");
            lines.push_back(entry);
        }
    }
    std::string updated;
    for (const std::string& line : lines) {
        updated += line;
        updated += '\n';
    }
    return updated;
}

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {
    // A save that a crash interrupted leaves its temporary file beside the settings.
    std::error_code ec;
    const std::string stem = ReplaceFileTemporaryPrefix(file_);
    for (const auto& entry : std::filesystem::directory_iterator(file_.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == stem.size() + 6 && name.compare(0, stem.size(), stem) == 0 &&
            entry.is_regular_file(ec)) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

std::filesystem::path SettingsStore::DefaultPath() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* entry = getpwuid(getuid());
            home = entry != nullptr ? entry->pw_dir : "/tmp";
        }
        base = std::filesystem::path(home) / ".config";
    }
    return base / "Tev Quillet" / "TevAudio.conf";
}

void SettingsStore::ReportOnce(const std::string& what) const {
    if (!reported_) {
        reported_ = true;
        std::fprintf(stderr, "TevAudio: settings %s (%s); using the defaults where needed\n",
                     what.c_str(), file_.c_str());
    }
}

const std::string* SettingsStore::Content() const {
    if (!read_) {
        read_ = true;
        std::string error;
        switch (ReadWholeFile(file_, content_, error)) {
            case FileStatus::Missing:
                content_.clear();
                readable_ = true;
                break;
            case FileStatus::Failed:
                ReportOnce("cannot be read: " + error);
                content_.clear();
                break;
            case FileStatus::Ok:
                readable_ = true;
                break;
        }
    }
    return readable_ ? &content_ : nullptr;
}

std::optional<std::string> SettingsStore::Lookup(std::string_view name) const {
    const std::string* content = Content();
    if (!ValidName(name) || content == nullptr) {
        return std::nullopt;
    }
    return IniLookup(*content, kGroup, name);
}

std::optional<uint32_t> SettingsStore::LookupNumber(std::string_view name) const {
    const auto raw = Lookup(name);
    return raw ? ParseNumber(*raw) : std::nullopt;
}

bool SettingsStore::Store(std::string_view name, const std::string& encodedValue) {
    if (!ValidName(name)) {
        return false;
    }
    std::error_code ec;
    // Write through a symbolic link, so that a linked settings file stays linked.
    std::filesystem::path target = file_;
    if (std::filesystem::is_symlink(file_, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(file_, ec);
        if (!ec) {
            target = resolved;
        }
    }
    const std::string* content = Content();
    if (content == nullptr) {
        return false;  // never overwrite what we could not read
    }
    std::string updated = IniWithValue(*content, kGroup, name, encodedValue);
    if (updated == *content) {
        return true;  // nothing changes: the disk is spared a write
    }
    std::filesystem::create_directories(target.parent_path(), ec);
    std::string error;
    if (!ReplaceFile(target, updated, error)) {
        ReportOnce("cannot be written: " + error);
        return false;
    }
    content_ = std::move(updated);
    ++writes_;
    return true;
}

bool SettingsStore::WriteText(std::string_view name, std::string_view text) {
    return Store(name, EncodeText(text));
}

bool SettingsStore::WriteNumber(std::string_view name, uint32_t value) {
    return Store(name, std::to_string(value));
}

std::string SettingsStore::ReadText(std::string_view name) const {
    const auto raw = Lookup(name);
    return raw ? DecodeText(*raw) : std::string();
}

uint32_t SettingsStore::ReadNumber(std::string_view name) const {
    return LookupNumber(name).value_or(0);
}

bool SettingsStore::Exists(std::string_view name) const {
    return Lookup(name).has_value();
}

uint32_t SettingsStore::FractionBits(float value) {
    uint32_t bits = 0;
    static_assert(sizeof bits == sizeof value);
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float SettingsStore::FractionFromBits(uint32_t bits) {
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t SettingsStore::LoadNumber(std::string_view name, uint32_t fallback) {
    if (!Exists(name)) {
        WriteNumber(name, fallback);
    }
    return LookupNumber(name).value_or(fallback);
}

std::string SettingsStore::LoadText(std::string_view name, std::string_view fallback) {
    if (!Exists(name)) {
        WriteText(name, fallback);
    }
    const auto raw = Lookup(name);
    return raw ? DecodeText(*raw) : std::string(fallback);
}

float SettingsStore::LoadFraction(std::string_view name, float fallback, float lowest,
                                  float highest) {
    if (!Exists(name)) {
        WriteNumber(name, FractionBits(fallback));
    }
    const auto bits = LookupNumber(name);
    if (!bits) {
        return fallback;
    }
    const float value = FractionFromBits(*bits);
    // A NaN or infinity would poison every value computed from it; anything else outside the
    // control's range (a file edited by hand, or damaged) is taken to the nearer end.
    return std::isfinite(value) ? std::clamp(value, lowest, highest) : fallback;
}

int SettingsStore::LoadOutputLatencyMs() {
    const uint32_t ms = LoadNumber("outputLatencyMs", SoundSystem::kDefaultLatencyMs);
    return SoundSystem::NearestLatencyChoice(static_cast<int>(std::min<uint32_t>(ms, 100000)));
}
void SettingsStore::SaveOutputLatencyMs(int ms) {
    WriteNumber("outputLatencyMs", static_cast<uint32_t>(ms));
}

uint32_t SettingsStore::LoadTipOfTheDayIndex() {
    return LoadNumber("tipOfTheDayIndex", 0);
}
void SettingsStore::SaveTipOfTheDayIndex(uint32_t index) {
    WriteNumber("tipOfTheDayIndex", index);
}

bool SettingsStore::LoadShowTipOfTheDay() {
    return LoadNumber("showTipOfTheDay", 1) != 0;
}
void SettingsStore::SaveShowTipOfTheDay(bool show) {
    WriteNumber("showTipOfTheDay", show ? 1 : 0);
}

std::string SettingsStore::LoadSoundDeviceMain() {
    return LoadText("soundDeviceMain", "");
}
void SettingsStore::SaveSoundDeviceMain(std::string_view device) {
    WriteText("soundDeviceMain", device);
}

std::string SettingsStore::LoadRecordingFolder() {
    return LoadText("recordingFolder", "");
}
void SettingsStore::SaveRecordingFolder(std::string_view folder) {
    WriteText("recordingFolder", folder);
}

std::string SettingsStore::LoadRecordingFormat() {
    std::string format = LoadText("recordingFormat", "flac");
    // A hand-edited or newer file's unknown format falls back to the lossless default.
    for (const char* known : {"flac", "wav", "mp3", "ogg"}) {
        if (format == known) {
            return format;
        }
    }
    return "flac";
}
void SettingsStore::SaveRecordingFormat(std::string_view format) {
    WriteText("recordingFormat", format);
}

std::string SettingsStore::LoadSoundDeviceHeadphones() {
    return LoadText("soundDeviceHeadphones", "");
}
void SettingsStore::SaveSoundDeviceHeadphones(std::string_view device) {
    WriteText("soundDeviceHeadphones", device);
}

float SettingsStore::LoadLevelDeck(int deck) {
    return LoadFraction(DeckName("levelDeck", deck), kDefaultLevel, 0.0F, 1.0F);
}
void SettingsStore::SaveLevelDeck(int deck, float level) {
    WriteNumber(DeckName("levelDeck", deck), FractionBits(level));
}

float SettingsStore::LoadCrossFaderCurvePosition() {
    return LoadFraction("crossFaderCurvePosition", 0.0F, -1.0F, 1.0F);
}
void SettingsStore::SaveCrossFaderCurvePosition(float position) {
    WriteNumber("crossFaderCurvePosition", FractionBits(position));
}

uint32_t SettingsStore::LoadColorDeck(int deck) {
    const uint32_t fallback = (deck == 0 || deck == 1) ? kDefaultColor[deck] : 0;
    return LoadNumber(DeckName("colorDeck", deck), fallback) & 0x00FFFFFFU;  // 0x00BBGGRR
}
void SettingsStore::SaveColorDeck(int deck, uint32_t color) {
    WriteNumber(DeckName("colorDeck", deck), color);
}

SettingsStore& Settings() {
    static SettingsStore store(SettingsStore::DefaultPath());
    return store;
}

}  // namespace tev
