#include "playlist/PlayListFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/ReplaceFile.h"

namespace tev {
namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kWhiteSpace) + 1 - first);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        size_t more = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (byte < 0x80) {
            ++i;
            continue;
        }
        if (byte >= 0xC2 && byte <= 0xDF) {
            more = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            more = 2;
            low = byte == 0xE0 ? 0xA0 : 0x80;
            high = byte == 0xED ? 0x9F : 0xBF;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            more = 3;
            low = byte == 0xF0 ? 0x90 : 0x80;
            high = byte == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i <= more) {
            return false;
        }
        for (size_t k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += more + 1;
    }
    return true;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// Lists written by older programs are in a single-byte code page; Latin-1 reads them best.
std::string AsUtf8(std::string_view text) {
    return IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

// Letters, digits, "+", "-" and "." after a letter, then ":": a URL scheme, an FFmpeg
// pseudo-protocol or a Windows drive, none of which is a file of ours.
bool HasScheme(std::string_view name) {
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (name.empty() || !isLetter(name[0])) {
        return false;
    }
    for (const char c : name.substr(1)) {
        if (c == ':') {
            return true;
        }
        if (!isLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return false;
}

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension;
}

// Another list, or this one: adding it as a track must not read it again.
bool IsListFile(const std::string& path) {
    const std::string extension = LowerExtension(path);
    return extension == ".m3u" || extension == ".m3u8" || extension == ".pls" ||
           extension == ".cue" || extension == ".ldj";
}

std::string Join(const std::string& folder, std::string_view relative) {
    while (StartsWith(relative, "./")) {
        relative.remove_prefix(2);
    }
    if (folder.empty()) {
        return std::string(relative);
    }
    return folder + (folder.back() == '/' ? "" : "/") + std::string(relative);
}

// Turns a path line into an entry; false for a line that names nothing.
bool MakeEntry(std::string_view line, const std::string& folder, const PathExists& exists,
               PlayListEntry& entry) {
    const std::string_view raw = Trim(line);
    // A name with a zero byte would open a shorter name than the one shown.
    if (raw.empty() || raw.find('\0') != std::string_view::npos) {
        return false;
    }
    if (HasScheme(raw)) {
        entry.path = AsUtf8(raw);
        entry.neverOpen = true;
        return true;
    }
    const bool absolute = raw.front() == '/';
    const auto resolve = [&](std::string_view name) {
        return absolute ? std::string(name) : Join(folder, name);
    };
    std::string name(raw);
    if (!IsUtf8(name) && !exists(resolve(name))) {
        name = Latin1ToUtf8(name);
    }
    if (!absolute && name.find('\\') != std::string::npos && !exists(resolve(name))) {
        std::replace(name.begin(), name.end(), '\\', '/');
    }
    entry.path = resolve(name);
    entry.neverOpen = IsListFile(entry.path);
    return true;
}

// Seconds as a string-to-integer conversion reads them: leading digits only; what is not a
// length of zero or more is unknown.
double ParseSeconds(std::string_view text) {
    size_t i = text.find_first_not_of(kWhiteSpace);
    if (i == std::string_view::npos) {
        return 0.0;
    }
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') {
        ++i;
    }
    double seconds = 0.0;
    // Past three centuries a further digit only makes the number absurd, never useful.
    constexpr double kCap = 1e10;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        seconds = std::min(seconds * 10.0 + (text[i] - '0'), kCap);
    }
    return negative && seconds > 0.0 ? -1.0 : seconds;
}

std::string FormatSeconds(double length) {
    if (!(length >= 0.0)) {
        return "-1";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", std::trunc(std::min(length, 1e15)));
    return text;
}

// A path is one line of the list; it cannot hold a newline, and empty it names nothing.
bool Writable(const PlayListEntry& track) {
    return !track.path.empty() && track.path.find('\n') == std::string::npos;
}

std::string OneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

// Splits text into lines without their "\n" or "\r\n", after a byte-order mark; a last line
// without a newline is a line.
std::vector<std::string_view> Lines(std::string_view text) {
    if (StartsWith(text, "\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
    }
    return lines;
}

// The value of a "Key<n>=value" line: the "=" must come after the key.
bool KeyValue(std::string_view line, std::string_view key, std::string_view& value) {
    if (!StartsWith(line, key)) {
        return false;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals <= key.size()) {
        return false;
    }
    value = line.substr(equals + 1);
    return true;
}

// Opens a regular file for reading without waiting on a FIFO or a device; -1 otherwise.
int OpenRegular(const std::string& path, struct stat& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The title of a trailing ID3v1 tag, converted to UTF-8; empty when there is none.
std::string Id3v1Title(const std::string& path) {
    struct stat info {};
    const int fd = OpenRegular(path, info);
    if (fd < 0) {
        return {};
    }
    char tag[128];
    const bool read = info.st_size >= 129 &&
                      ::pread(fd, tag, sizeof tag, info.st_size - 128) == ssize_t{sizeof tag};
    ::close(fd);
    if (!read || std::string_view(tag, 3) != "TAG") {
        return {};
    }
    std::string_view title(tag + 3, 30);
    title = title.substr(0, title.find('\0'));
    title = title.substr(0, title.find_last_not_of(' ') + 1);
    return Latin1ToUtf8(title);
}

}  // namespace

std::string FormatM3u(const std::vector<PlayListEntry>& tracks) {
    std::string text = "#EXTM3U\n";
    for (const PlayListEntry& track : tracks) {
        if (!Writable(track)) {
            continue;
        }
        text += "#EXTINF:" + FormatSeconds(track.length) + "," + OneLine(track.title) + "\n";
        // A relative name starting with "#" would be read as a directive.
        text += (track.path.front() == '#' ? "./" : "") + track.path + "\n";
    }
    return text;
}

std::string FormatPls(const std::vector<PlayListEntry>& tracks) {
    std::string text = "[playlist]\n";
    size_t count = 0;
    for (const PlayListEntry& track : tracks) {
        if (!Writable(track)) {
            continue;
        }
        const std::string k = std::to_string(++count);
        text += "File" + k + "=" + track.path + "\n";
        text += "Title" + k + "=" + OneLine(track.title) + "\n";
        text += "Length" + k + "=" + FormatSeconds(track.length) + "\n";
    }
    text += "NumberOfEntries=" + std::to_string(count) + "\n";
    text += "Version=2\n";
    return text;
}

std::vector<PlayListEntry> ParseM3u(std::string_view text, const std::string& folder,
                                    const PathExists& exists) {
    const std::vector<std::string_view> lines = Lines(text);
    std::vector<PlayListEntry> entries;
    const bool extended = !lines.empty() && StartsWith(lines[0], "#EXTM3U");
    PlayListEntry entry;
    for (size_t i = extended ? 1 : 0; i < lines.size() && entries.size() < kMaxPlayListEntries;
         ++i) {
        const std::string_view line = lines[i];
        if (StartsWith(line, "#EXTINF:")) {
            // The length only when something stands between the colon and the comma; the
            // title is what follows that comma.
            const size_t comma = line.find(',', 8);
            entry.length = -1.0;
            entry.title.clear();
            if (comma != std::string_view::npos && comma > 8) {
                entry.length = ParseSeconds(line.substr(8, comma - 8));
                entry.title = AsUtf8(line.substr(comma + 1));
            }
            continue;
        }
        // Other programs' directives and comments (#EXTVLCOPT, #EXTGRP, #PLAYLIST...).
        if (extended && StartsWith(line, "#")) {
            continue;
        }
        if (MakeEntry(line, folder, exists, entry)) {
            entries.push_back(std::move(entry));
            entry = PlayListEntry{};
        }
    }
    return entries;
}

std::vector<PlayListEntry> ParsePls(std::string_view text, const std::string& folder,
                                    const PathExists& exists) {
    const std::vector<std::string_view> lines = Lines(text);
    std::vector<PlayListEntry> entries;
    if (lines.empty() || Trim(lines[0]) != "[playlist]") {
        return entries;
    }
    // The number after a key is not checked: a File line takes the Title and Length lines that
    // follow it, and a line that is not the expected key is read again as what it is.
    for (size_t i = 1; i < lines.size() && entries.size() < kMaxPlayListEntries; ++i) {
        std::string_view path;
        if (!KeyValue(lines[i], "File", path)) {
            continue;
        }
        PlayListEntry entry;
        std::string_view value;
        if (i + 1 < lines.size() && KeyValue(lines[i + 1], "Title", value)) {
            entry.title = AsUtf8(value);
            ++i;
        }
        if (i + 1 < lines.size() && KeyValue(lines[i + 1], "Length", value)) {
            entry.length = ParseSeconds(value);
            ++i;
        }
        if (MakeEntry(path, folder, exists, entry)) {
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

PlayListSaveResult SavePlayList(const std::string& path, std::vector<PlayListEntry>& tracks) {
    PlayListSaveResult result;
    result.path = path;
    if (std::filesystem::path(path).extension().empty()) {
        result.path += ".m3u";
    }
    const std::string extension = LowerExtension(result.path);
    const bool m3u = extension == ".m3u" || extension == ".m3u8";
    if (!m3u && extension != ".pls") {
        return result;
    }
    for (PlayListEntry& track : tracks) {
        if (track.title.empty() && !track.neverOpen) {
            track.title = Id3v1Title(track.path);
        }
    }
    if (!ReplaceFile(result.path, m3u ? FormatM3u(tracks) : FormatPls(tracks), result.error)) {
        return result;
    }
    result.written = true;
    return result;
}

PlayListLoadResult LoadPlayList(const std::string& path) {
    PlayListLoadResult result;
    const std::string extension = LowerExtension(path);
    const bool m3u = extension == ".m3u" || extension == ".m3u8";
    if (!m3u && extension != ".pls") {
        result.error = "not a list this program reads";
        return result;
    }
    struct stat info {};
    const int fd = OpenRegular(path, info);
    if (fd < 0) {
        result.error = "not a regular file that can be read";
        return result;
    }
    if (static_cast<uint64_t>(info.st_size) > kMaxPlayListBytes) {
        ::close(fd);
        result.error = "too large for a play list";
        return result;
    }
    std::string text;
    char buffer[65536];
    // The file may grow while it is read; the cap holds all the same.
    while (text.size() <= kMaxPlayListBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            result.error = std::strerror(errno);
            return result;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    if (text.size() > kMaxPlayListBytes) {
        result.error = "too large for a play list";
        return result;
    }
    std::error_code ec;
    // Absolute, so that no entry reaches the decoder as a relative name.
    const std::string folder =
        std::filesystem::absolute(std::filesystem::path(path), ec).parent_path().string();
    const PathExists exists = [](const std::string& name) {
        struct stat entry {};
        return ::lstat(name.c_str(), &entry) == 0;
    };
    result.entries = m3u ? ParseM3u(text, folder, exists) : ParsePls(text, folder, exists);
    return result;
}

}  // namespace tev
