#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tev {

// One track as a play list file carries it. Paths are bytes as the file system names them; the
// title is UTF-8 text.
struct PlayListEntry {
    std::string path;
    std::string title;     // empty when unknown
    double length = -1.0;  // seconds, -1 when unknown
    // A URL, a pseudo-protocol or another play list: shown as "???" and never opened, contacted
    // or handed to the decoder, so a hostile list cannot make the program connect, block or
    // recurse.
    bool neverOpen = false;

    bool operator==(const PlayListEntry&) const = default;
};

// Whether a path names something; the readers ask only about entries of the list they read.
using PathExists = std::function<bool(const std::string&)>;

// A list from the outside world may not grow the play list without bound.
inline constexpr size_t kMaxPlayListEntries = size_t{1} << 20;
inline constexpr size_t kMaxPlayListBytes = size_t{64} << 20;

// The text of an extended M3U list and of a PLS list (UTF-8, lines ending with "\n"). A path that
// no line of the format can hold (one with a newline, or an empty one) is left out.
std::string FormatM3u(const std::vector<PlayListEntry>& tracks);
std::string FormatPls(const std::vector<PlayListEntry>& tracks);

// The entries of a list's text. Relative entries are taken from `folder`, the list's folder;
// `exists` chooses between the literal name and its readings as a Windows or Latin-1 name.
// Pure apart from `exists`.
std::vector<PlayListEntry> ParseM3u(std::string_view text, const std::string& folder,
                                    const PathExists& exists);
std::vector<PlayListEntry> ParsePls(std::string_view text, const std::string& folder,
                                    const PathExists& exists);

struct PlayListSaveResult {
    bool written = false;
    std::string path;   // the file written or meant: ".m3u" is added to a name without extension
    std::string error;  // why the file could not be written, for the window to show
};

// Writes `tracks` as M3U (".m3u", ".m3u8") or PLS (".pls"), chosen by the extension in any case;
// another extension writes nothing and reports no error. Empty titles are filled from the sound
// files' ID3v1 tags first (the window keeps them). The old list is replaced only once the new one
// is complete on disk. [UI thread] Blocks on the file system.
PlayListSaveResult SavePlayList(const std::string& path, std::vector<PlayListEntry>& tracks);

struct PlayListLoadResult {
    std::vector<PlayListEntry> entries;
    std::string error;  // why nothing was read; empty when the file was read
};

// Reads an M3U or PLS list, chosen by the extension in any case. Only a regular file of at most
// kMaxPlayListBytes is read, and its opening never waits (a FIFO or a device is refused).
// [UI thread] Blocks on the file system.
PlayListLoadResult LoadPlayList(const std::string& path);

}  // namespace tev
