// Feeds arbitrary text to the settings' INI reader and writer: whatever the file holds, a value
// that was set is the value read back, and nothing crashes or grows without bound.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"levelDeckA", "crossFaderCurvePosition", "x"}) {
        (void)tev::IniLookup(content, "Settings", name);
        const std::string written = tev::IniWithValue(content, "Settings", name, "42");
        const auto read = tev::IniLookup(written, "Settings", name);
        if (!read || *read != "42") {
            __builtin_trap();
        }
    }
    return 0;
}
