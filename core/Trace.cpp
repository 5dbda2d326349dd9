#include "core/Trace.h"

#include <cstdio>
#include <cstdlib>

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
    // One write per line, so that the lines of several threads do not interleave.
    if (letter != '\0') {
        std::snprintf(line, sizeof line, "%s%c%s\n", text, letter, reason != nullptr ? reason : "");
    } else {
        std::snprintf(line, sizeof line, "%s%s\n", text, reason != nullptr ? reason : "");
    }
    std::fputs(line, stderr);
}

}  // namespace tev
