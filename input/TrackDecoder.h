#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/EngineState.h"
#include "platform/StatusCodes.h"

namespace tev {

// Decodes one sound file, a chunk at a time, into 16-bit stereo at the file's own rate (never
// resampled). Mono is duplicated into both channels at unity gain, 8-bit and float sources are
// converted, sources with more channels are mixed down to stereo without clipping.
//
// Only local regular files are opened, and a file never makes the decoder open anything else
// (no URLs, no play lists that name other files or the network).
//
// Threads: used by one thread at a time (the open thread, then the reader, which also opens the
// next track of a continuation). ContinueWith is called by the UI thread while the reader waits in
// its WM_TRACK_ENDED. The accessors, GetPosition and GetDuration may be called from any thread.
class TrackDecoder {
  public:
    TrackDecoder();
    ~TrackDecoder();
    TrackDecoder(const TrackDecoder&) = delete;
    TrackDecoder& operator=(const TrackDecoder&) = delete;

    // Opens a file; S_OK, E_UNEXPECTED for an empty path or a file that is missing or not a
    // regular file, E_FAIL for a file that does not decode as audio.
    HRESULT Open(const std::string& path);
    // Writes exactly one chunk (kChunkBytes) of 16-bit stereo at destination. byteCount is the
    // number of source bytes it took from the ended track. At the end of the file the rest of the
    // chunk is silence, WM_TRACK_ENDED (wParam deck, lParam kTrackEnded) is sent to the mixer and
    // waited for; if the deck named its next track meanwhile (ContinueWith), the reader opens it
    // here and completes the chunk with that track's first audio, and endOfStream is false.
    // A next track that does not open is reported with lParam kNextTrackUnreadable, one at
    // another sample rate (which the deck's buffers cannot play at its pitch) with
    // kNextTrackOtherRate, and the deck may name another. Without a next track endOfStream is true
    // and the decoder closes. E_UNEXPECTED when nothing is open.
    HRESULT Read(int deck, uint8_t* destination, uint32_t& byteCount, bool& endOfStream);
    void Close();
    // Moves to a fraction (0 ... 1) of the duration; lands within a chunk of it.
    void Seek(double fraction);

    double GetDuration() const;  // seconds; 0.0 when closed
    double GetPosition() const;  // seconds decoded so far; 0.0 when closed
    // Empty when the file has none. It reads the stream: only the decoder's present user may ask.
    std::string GetTitle() const;

    uint32_t SampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    // 1 or 2 (more are mixed down to 2)
    uint32_t Channels() const { return channels_.load(std::memory_order_relaxed); }
    // 8 or 16
    uint32_t BitsPerSample() const { return bitsPerSample_.load(std::memory_order_relaxed); }
    // Source bytes per read: 5,880 for mono, 11,760 otherwise (for 16-bit sources).
    uint32_t SampleBytes() const { return kChunkFrames * SourceBytesPerFrame(); }
    uint64_t TotalBytes() const { return totalBytes_.load(std::memory_order_relaxed); }
    uint64_t BytesDecoded() const { return bytesDecoded_.load(std::memory_order_relaxed); }
    bool IsOpen() const { return open_.load() != 0; }
    const std::string& Path() const { return path_; }
    // [UI thread, while the reader waits in WM_TRACK_ENDED] The file to go on with.
    void ContinueWith(const std::string& path);

  private:
    struct Stream;

    // Frames of 16-bit stereo written at out, up to `frames`; fewer only at the end of the file.
    uint32_t Fill(int16_t* out, uint32_t frames);
    uint32_t SourceBytesPerFrame() const { return Channels() * BitsPerSample() / 8; }

    std::unique_ptr<Stream> stream_;
    std::string path_;
    std::string nextPath_;  // handed over by the message that the reader waits for
    // Written by Open; atomic because the deck may ask for the position or the length while a
    // continuation opens the next file on another thread.
    std::atomic<uint32_t> bitsPerSample_{16};
    std::atomic<uint32_t> channels_{2};
    std::atomic<uint32_t> sampleRate_{44100};
    std::atomic<uint64_t> totalBytes_{0};
    std::atomic<double> durationSeconds_{0.0};
    std::atomic<uint64_t> bytesDecoded_{0};
    std::atomic<uint32_t> open_{0};
    std::atomic<uint32_t> continue_{0};
};

// WM_TRACK_ENDED's lParam: why the decoder asks for a track.
inline constexpr LPARAM kTrackEnded = 0;
inline constexpr LPARAM kNextTrackUnreadable = 1;
inline constexpr LPARAM kNextTrackOtherRate = 2;

// The decoding library's name and version, as the about box lists it.
std::string DecoderLibraryVersion();

// The decoder of each deck.
extern TrackDecoder trackDecoder[kDeckCount];

}  // namespace tev
