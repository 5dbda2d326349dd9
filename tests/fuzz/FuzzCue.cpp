// Feeds arbitrary text to the cue-sheet reader that looks for an image's data files before
// libcdio may open them: it never crashes, and every name it finds is taken from the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "input/CdReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& name : tev::CdReader::CueDataFiles(text)) {
        if (text.find(name) == std::string::npos) {
            __builtin_trap();
        }
    }
    return 0;
}
