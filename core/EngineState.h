#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/Event.h"
#include "platform/MessageLayer.h"

namespace tev {

// The engine state shared by both decks and every thread, for the life of the process.
// Per-deck arrays have two entries: 0 is Deck A, 1 is Deck B.

inline constexpr int kDeckCount = 2;

// Deck audio is 16-bit stereo, left first, at the source's own rate. The chunk is the unit of
// every transfer between threads: 1/15 s at 44,100 Hz.
inline constexpr uint32_t kBytesPerFrame = 4;
inline constexpr uint32_t kChunkFrames = 2940;
inline constexpr uint32_t kChunkBytes = kChunkFrames * kBytesPerFrame;  // 11,760
inline constexpr uint32_t kRingChunks = 170;
inline constexpr uint32_t kRingBytes = kRingChunks * kChunkBytes;  // 1,999,200, about 11.3 s
inline constexpr uint32_t kNoChunkPosition = 0xFFFFFFFFU;

// Where a chunk came from: the decoded file with its title and length, or the CD drive's name.
// The title and length travel with the chunk so that the deck can show what is sounding, even
// after the reader has moved on to the next file.
struct ChunkSource {
    std::string path;      // the file's path or the CD drive's name; empty when cleared
    std::string title;     // the file's title tag; empty for a CD or a file without one
    double seconds = 0.0;  // the file's length; 0 for a CD

    // Keeps the strings' room, so that the next chunk's record rarely allocates.
    void Clear() noexcept {
        path.clear();
        title.clear();
        seconds = 0.0;
    }
};

// A deck's decode ring. One producer (the deck's file or CD reader) and one consumer (forward
// streaming on the UI thread) share it without a lock: `chunkFilled` hands each chunk over, and
// is exchanged only after the chunk's data, position and source are written (producer) or used
// (consumer). Storage is fixed and lives as long as the process.
struct DeckRing {
    alignas(64) uint8_t data[kRingBytes];
    // 0: free, the producer may write it; 1: filled, the consumer may read it.
    std::atomic<uint32_t> chunkFilled[kRingChunks];
    // CD input: 1-based CD track the chunk was read from; kNoChunkPosition otherwise.
    uint32_t chunkPosition[kRingChunks];
    ChunkSource chunkSource[kRingChunks];
    std::atomic<uint32_t> readIndex;  // next chunk the consumer takes; written by the consumer only
    std::atomic<uint32_t>
        writeIndex;  // next chunk the producer fills; written by the producer only
    std::atomic<uint32_t> cdFillOffset;  // byte offset of the next CD block (CD input only)

    uint8_t* Chunk(uint32_t index) noexcept { return data + index * kChunkBytes; }
    const uint8_t* Chunk(uint32_t index) const noexcept { return data + index * kChunkBytes; }
};

// The events of one deck. Each deck has its own objects; only that deck's threads and handlers
// signal and wait on them.
struct DeckEvents {
    Event chartAnalysisDone{Event::Manual, false};
    Event octaveAnalysisDone{Event::Manual, false};
    Event scopeAnalysisDone{Event::Manual, false};
    Event cdOpenDone{Event::Manual, false};
    Event deckReadyToPlay{Event::Manual, false};
    Event discReadForward{Event::Manual, false};
    Event fileOpenDone{Event::Manual, false};
    Event playBackwardNotify{Event::Manual, false};
    Event playForwardNotify{Event::Manual, false};
    // Set while no such thread runs for the deck: reset first and set last by the thread.
    Event threadCdReadForwardDone{Event::Manual, true};
    Event threadFileReadForwardDone{Event::Manual, true};
    Event threadPlayBackwardDone{Event::Manual, true};
    Event threadPlayForwardDone{Event::Manual, true};

    // Puts every event back into the state it is created in.
    void Restore() noexcept;
};

extern DeckRing deckRing[kDeckCount];
extern DeckEvents deckEvents[kDeckCount];
extern Event trackLengthLoadEvent;  // automatic reset

// Written by the deck panel before it starts the deck's open thread.
extern std::string deckFilePath[kDeckCount];
extern int32_t cdDriveRequest[kDeckCount];

// The two parameters of each deck's effect. [UI thread] Written by the deck's effects panel
// before it asks the mixer to apply one; read by the mixer when it does.
extern float effectParameter[kDeckCount][2];

// Hand-over with the track-length loader: one request in, one result out, each under a lock,
// so that a request arriving while a file is measured never changes what the loader reads.
class TrackLengthExchange {
  public:
    struct Result {
        std::string path;
        std::string title;     // kept from the last readable file when this one is not
        double seconds = 0.0;  // -1.0 when the file could not be opened
    };

    // [UI thread] Asks for `path` to be measured and wakes the loader; false (nothing asked)
    // while the previous request is waiting or being measured.
    bool Request(const std::string& path);
    // [loader] Takes the waiting request; false when there is none.
    bool Take(std::string& path);
    // [loader] Stores the measure; Finish ends the request before its message is sent, so that
    // the handler may ask for the next file (the result stays until the loader's next measure).
    void Publish(const std::string& path, const std::string* title, double seconds);
    void Finish();
    // [any thread]
    bool Busy() const;
    Result Last() const;
    void Reset();

  private:
    mutable std::mutex mutex_;
    std::string requested_;
    bool waiting_ = false;
    bool busy_ = false;
    Result last_;
};

extern TrackLengthExchange trackLength;

// Run flags of the worker threads: written by exchange, polled by their threads.
extern std::atomic<uint32_t> fileReaderRunning[kDeckCount];
extern std::atomic<uint32_t> cdReaderRunning[kDeckCount];
extern std::atomic<uint32_t> forwardNotifyRunning[kDeckCount];
extern std::atomic<uint32_t> backwardNotifyRunning[kDeckCount];
extern std::atomic<uint32_t> keyboardPollRunning;
extern std::atomic<uint32_t> trackLengthLoaderRunning;
extern std::atomic<uint8_t> keyboardEnabled;      // 0 while the play list is the active window
extern std::atomic<uint8_t> backwardPlayEnabled;  // played chunks are also kept, reversed

// Set by the main window once every panel exists and is placed; the mixer acts on its window
// state changes only from then on. [UI thread]
extern uint8_t panelsReady;

// Ticks of PerfCounter() per second, read once at start-up.
extern int64_t perfFrequency;

// Display colours of the decks, 0x00BBGGRR (red in the low byte).
extern uint32_t colorDeckA;
extern uint32_t colorDeckB;

// Receivers of the program's messages: the mixer (engine requests, WM_APP+1 ... +47), the main
// window (control updates, WM_APP+49 ... +77) and each deck panel (its own controls).
extern WindowHandle hMixerWnd;
extern WindowHandle hMainWnd;
extern WindowHandle hDeckWnd[kDeckCount];

// Puts events, flags and ring bookkeeping back into their initial state. [UI thread] Only while
// no worker thread runs: at start-up, and between tests.
void ResetEngineState();

}  // namespace tev
