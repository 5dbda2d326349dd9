#include "core/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tev {

bool TraceEnabled() noexcept {
    static const bool enabled = [] {
        const char* value = std::getenv("TEV_TRACE");
        return value != nullptr && value[0] != '\0';
    }();
    return enabled;
}

void Trace(std::string_view line) {
    if (!TraceEnabled()) {
        return;
    }
    std::string text(line);
    text += '\n';
    std::fputs(text.c_str(), stderr);  // one call, so lines of several threads do not interleave
}

}  // namespace tev
