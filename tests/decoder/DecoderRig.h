#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tev::test {

// A new folder under /tmp, removed with all it holds at the end, whatever its permissions.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/tev-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
};

// Writes `text` to a file, making its folders; reads a whole file.
inline void WriteFile(const std::filesystem::path& file, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream(file, std::ios::binary) << text;
}
inline std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Where scripts/make-fixtures.sh put the encoded test files.
inline std::string Fixture(const std::string& name) {
    const char* dir = std::getenv("TEV_FIXTURES");
    return std::string(dir != nullptr ? dir : "fixtures") + "/" + name;
}

// Writes a PCM WAV file with exactly the given sample bytes, and a title tag (LIST INFO INAM)
// when `title` is not empty.
inline void WriteWav(const std::string& path, int channels, int bits, int rate,
                     const std::vector<uint8_t>& data, const std::string& title = {}) {
    auto put32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<char*>(&v), 4); };
    auto put16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<char*>(&v), 2); };
    const auto tagBytes = static_cast<uint32_t>((title.size() + 2) & ~size_t{1});  // NUL, even
    const uint32_t listBytes = title.empty() ? 0 : 8 + 4 + 8 + tagBytes;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, static_cast<uint32_t>(36 + listBytes + data.size()));
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<uint16_t>(channels));
    put32(out, static_cast<uint32_t>(rate));
    put32(out, static_cast<uint32_t>(rate * channels * bits / 8));
    put16(out, static_cast<uint16_t>(channels * bits / 8));
    put16(out, static_cast<uint16_t>(bits));
    if (!title.empty()) {
        out.write("LIST", 4);
        put32(out, listBytes - 8);
        out.write("INFOINAM", 8);
        put32(out, tagBytes);
        std::string tag = title;
        tag.resize(tagBytes, '\0');
        out.write(tag.data(), tagBytes);
    }
    out.write("data", 4);
    put32(out, static_cast<uint32_t>(data.size()));
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// 16-bit samples whose value says where they are: frame f of file `id` has left = f + id * 7 and
// right = -(f + id * 7), wrapping at 16 bits.
inline std::vector<int16_t> NumberedFrames(int frames, int channels, int id) {
    std::vector<int16_t> samples;
    for (int f = 0; f < frames; ++f) {
        const auto v = static_cast<int16_t>(f + id * 7);
        samples.push_back(v);
        if (channels == 2) {
            samples.push_back(static_cast<int16_t>(-v));
        }
    }
    return samples;
}

inline std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

}  // namespace tev::test
