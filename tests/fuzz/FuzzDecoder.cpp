// Feeds arbitrary bytes, as a file, through the decoder: open, read to the end, seek, read again.
// Whatever the bytes, the decoder must neither crash, hang nor grow without bound.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/TrackDecoder.h"

namespace {

// Enough chunks for any input the fuzzer makes (a few hundred KB) to reach its end.
constexpr int kMaxChunks = 20000;

void ReadToEnd(tev::TrackDecoder& decoder, std::vector<uint8_t>& chunk, int limit) {
    for (int i = 0; i < limit && decoder.IsOpen(); ++i) {
        uint32_t bytes = 0;
        bool end = false;
        if (decoder.Read(0, chunk.data(), bytes, end) != tev::S_OK || end) {
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) {
            close(fd);
            return 0;
        }
        written += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::vector<uint8_t> chunk(tev::kChunkBytes);
    tev::TrackDecoder decoder;
    if (decoder.Open(path) == tev::S_OK) {
        (void)decoder.GetTitle();
        ReadToEnd(decoder, chunk, kMaxChunks);
        if (decoder.Open(path) == tev::S_OK) {
            decoder.Seek(0.5);
            ReadToEnd(decoder, chunk, 8);
            decoder.Seek(0.0);
            ReadToEnd(decoder, chunk, 8);
        }
    }
    decoder.Close();
    close(fd);
    return 0;
}
