#include "core/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tev {

bool TraceEnabled() noexcept {
    static const bool enabled = [] {
        const char* value = std::getenv("TEV_TRACE");
        return value != nullptr && value[0] != '\0';
    }();
    return enabled;
}

void Trace(const char* text, int deck, const char* reason) noexcept {
    if (!TraceEnabled()) {
        return;
    }
    char line[256];
    const char letter = deck == 0 ? 'A' : deck == 1 ? 'B' : '\0';
    const char* tail = reason != nullptr ? reason : "";
    // One write per line, so that the lines of several threads do not interleave.
    if (letter == '\0') {
        std::snprintf(line, sizeof line, "%s%s\n", text, tail);
    } else {
        // A text that ends in "Deck " names the deck itself; any other gets the deck after it,
        // so that "Enter: PlayBackward" reads "Enter: PlayBackward : Deck A".
        constexpr char kDeck[] = "Deck ";
        const size_t length = std::strlen(text);
        const bool namesDeck = length >= sizeof kDeck - 1 &&
                               std::strcmp(text + length - (sizeof kDeck - 1), kDeck) == 0;
        std::snprintf(line, sizeof line, "%s%s%c%s\n", text, namesDeck ? "" : " : Deck ", letter,
                      tail);
    }
    std::fputs(line, stderr);
}

}  // namespace tev
