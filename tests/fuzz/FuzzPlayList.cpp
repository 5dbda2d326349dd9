// Feeds arbitrary text to the M3U and PLS readers: nothing crashes, and what they give is what
// the program may hand on and may save again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/PlayListFile.h"

namespace {

// Some names exist, so that both readings of Windows and Latin-1 names are taken.
bool Exists(const std::string& path) {
    return path.size() % 3 == 0;
}

// Entries read from a list: names the program may hand on, and a list written from them reads
// back with the same names, lengths and markers, and unchanged from then on.
void Check(const std::vector<tev::PlayListEntry>& entries) {
    for (const tev::PlayListEntry& entry : entries) {
        if (entry.path.empty() || entry.path.find('\0') != std::string::npos ||
            (!entry.neverOpen && entry.path[0] != '/')) {
            __builtin_trap();
        }
    }
    for (const auto& format : {tev::FormatM3u, tev::FormatPls}) {
        const auto parse = format == tev::FormatM3u ? tev::ParseM3u : tev::ParsePls;
        const std::vector<tev::PlayListEntry> again = parse(format(entries), "/l", Exists);
        if (again.size() != entries.size() || parse(format(again), "/l", Exists) != again) {
            __builtin_trap();
        }
        for (size_t i = 0; i < again.size(); ++i) {
            if (again[i].path != entries[i].path || again[i].length != entries[i].length ||
                again[i].neverOpen != entries[i].neverOpen) {
                __builtin_trap();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Check(tev::ParseM3u(text, "/l", Exists));
    Check(tev::ParsePls(text, "/l", Exists));
    return 0;
}
