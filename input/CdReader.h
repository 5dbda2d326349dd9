#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/EngineState.h"
#include "core/RingProducer.h"
#include "platform/WorkerThread.h"

namespace tev {

// CD audio: 44,100 Hz, 16-bit stereo, read in blocks of 2,352 bytes (1/75 s); a chunk is five
// blocks. Positions are bytes from the start of the first track, always whole blocks.
inline constexpr uint32_t kCdBlockBytes = 2352;
inline constexpr uint32_t kCdBytesPerSecond = 176400;

// The CD drives and the disc open in each deck, through libcdio. A drive is a physical drive
// (read with paranoia's error correction) or a CD image, a .cue file with its .bin, that has been
// added to the list and is read sector by sector. One reader serves both decks; each deck has
// its own open disc and read position.
//
// [UI thread] the drive list, Open, Close and the steps of an open (RunOpen on the deck's open
// thread), the queries, and the position setters while the deck's reader is stopped (or that
// reader itself, before its first read).
// [reader thread] Read, and the queries its reading needs (DriveName, ReadPosition, TrackAt):
// while a deck's reader runs, the UI thread neither opens nor closes that deck's disc, so the
// disc they look at stays put. Only ReadPosition is safe from any thread at any time.
class CdReader {
  public:
    CdReader();
    ~CdReader();
    CdReader(const CdReader&) = delete;
    CdReader& operator=(const CdReader&) = delete;

    int DriveCount() const;
    std::string DriveNameAt(int driveIndex) const;
    // Adds a CD image to the drive list (once); its index.
    int AddImage(const std::string& cuePath);

    // Opens the disc in a drive for a deck, at the start of its first track. Nothing is open
    // afterwards when the drive has no audio disc or cannot be read; LastError says why.
    void Open(int deck, int driveIndex);
    void Close(int deck);
    const std::string& LastError(int deck) const { return decks_[deck].error; }
    // LastError when the drive did not answer within kCdOpenTimeout.
    static constexpr const char* kNoAnswer = "the drive does not answer";

    // An open in three steps, so that the UI thread can stop waiting for a drive that does not
    // answer: Begin (UI thread) numbers the attempt, Run (any thread) reads the drive and keeps
    // the disc aside for that attempt, Finish (UI thread) installs it. An attempt abandoned by a
    // later Begin, or by Abandon, is dropped by its own Run whenever that returns.
    uint64_t BeginOpen(int deck);
    void RunOpen(int deck, uint64_t attempt, int driveIndex);
    bool FinishOpen(int deck, uint64_t attempt);
    void AbandonOpen(int deck);

    // The data files a cue sheet names, in order (FILE lines, quoted or not).
    static std::vector<std::string> CueDataFiles(const std::string& cueText);
    // Empty when the cue sheet and every data file it names are regular files that can be
    // opened; otherwise what is wrong, for the user. libcdio would block on a FIFO for ever.
    static std::string CheckImage(const std::string& cuePath);
    // No CD holds more; a longer "disc" is refused (and positions stay within 32 bits).
    static constexpr uint32_t kMaxDiscBlocks = 100 * 60 * 75;
    bool IsOpen(int deck) const;
    int TrackCount(int deck) const;
    std::string DriveName(int deck) const;

    // Lengths in seconds; 0 for a track that does not exist.
    double TrackLength(int deck, int track) const;
    double DiscLength(int deck) const;
    // Where the track starts, in seconds from the start of the disc.
    double TrackStart(int deck, int track) const;
    // The CD-TEXT title of a track, or of the disc for track 0; empty when it has none.
    std::string Title(int deck, int track) const;
    static constexpr size_t kMaxTitleBytes = 160;

    double Position(int deck) const;
    uint32_t ReadPosition(int deck) const { return decks_[deck].readPosition.load(); }
    void SetPosition(int deck, double seconds);
    // The track holding the position (a position at a track's end belongs to the next one);
    // the track count + 1 at or beyond the end of the disc.
    int CurrentTrack(int deck) const;
    int TrackAt(int deck, uint32_t bytePosition) const;
    void JumpToTrack(int deck, int track);
    double ElapsedInTrack(int deck) const;
    void SeekInTrack(int deck, double seconds);

    // A reader that the drive holds up (error correction retrying a scratch for minutes) can be
    // left behind, so that the deck need not wait for it: each reader holds a lease, and a reader
    // whose lease has ended touches neither the deck's ring nor its position again, whenever its
    // read returns. Its disc stays open until then.
    // [UI thread] A lease for the reader about to start.
    uint64_t LeaseReader(int deck);
    // [UI thread] Ends the lease of the deck's reader; LastError says the drive does not answer.
    void AbandonReader(int deck);

    enum class ChunkRead {
        kRead,       // published
        kNewTrack,   // published, and it starts a track after one that had been read
        kEnded,      // the end of the disc, a read error or the disc taken out: nothing published
        kAbandoned,  // the lease has ended: nothing touched
    };
    // [reader thread] Reads the chunk at the deck's read position into the ring at cdFillOffset
    // (a last chunk that the disc's end cuts short is completed with silence), publishes it at
    // writeIndex with its track, and moves cdFillOffset, writeIndex and the read position on.
    ChunkRead ReadChunk(int deck, uint64_t lease, RingProducer& producer,
                        const ChunkSource& source);
    // Tests stand in for a drive that takes its time: called before every read from a disc.
    void SetReadDelay(void (*delay)()) { readDelay_.store(delay); }

  private:
    struct Drive {
        std::string name;
        bool image;
    };
    // An open disc: libcdio's handles and the audio tracks' lengths.
    struct Disc;
    struct Deck {
        std::string driveName;
        std::atomic<uint32_t> readPosition{0};
        // Shared with the deck's reader, which may outlive its lease.
        std::shared_ptr<Disc> disc;
        // Guards what a reader hands over (the ring's chunks, the read position) against the
        // end of its lease.
        std::mutex readMutex;
        uint64_t lease = 0;
        std::string error;
        // The open under way: its number and, once read, its disc.
        std::mutex openMutex;
        uint64_t attempt = 0;
        std::unique_ptr<Disc> opened;
        std::string openedName;
        std::string openedError;
    };
    static std::unique_ptr<Disc> Probe(const Drive& drive, std::string& error);
    static void ReadTitles(Disc& disc, int firstTrack, bool image);
    void Install(int deck, std::unique_ptr<Disc> disc, const std::string& name,
                 const std::string& error);
    uint64_t TrackStartBytes(int deck, int track) const;

    std::atomic<void (*)()> readDelay_{nullptr};
    mutable std::mutex drivesMutex_;
    std::vector<Drive> drives_;
    Deck decks_[kDeckCount];
};

// The process's CD reader.
CdReader& Cd();

// The CD library's name and version, as the about box lists it.
std::string CdLibraryVersion();

// The deck's CD-open thread: reads drive `driveIndex` for open attempt `attempt` of the deck,
// then sets "CD Open Is Done Event".
uint32_t ThreadCdOpen(int deck, uint64_t attempt, int driveIndex);
// How long a deck waits for a drive to answer.
inline constexpr std::chrono::seconds kCdOpenTimeout{15};
// The deck's CD reader under lease `lease`: the ring's producer, reading batches from the disc at
// the deck's read position. Each chunk carries the track it was read from; a read that stops
// short (the end of the disc) ends the reader. A reader whose lease ended leaves without a word.
uint32_t ThreadCdReadForward(int deck, uint64_t lease);
// How long a deck waits for its CD reader to stop before it leaves it behind.
inline constexpr std::chrono::seconds kCdStopTimeout{5};
// [UI thread] The deck's CD-open steps: starts ThreadCdOpen and waits for it while dispatching
// messages, kCdOpenTimeout at most. True when a disc is open; otherwise Cd().LastError(deck)
// says why ("The CD drive does not answer" after the time-out).
bool OpenCdIntoDeck(int deck, int driveIndex);
// [UI thread] Starts the deck's CD reader from its read position.
WorkerThread StartCdReader(int deck);
// [UI thread] Starts the deck's CD reader at `seconds` into `track`; the reader moves there
// itself before its first read.
WorkerThread StartCdReader(int deck, int track, double seconds);

}  // namespace tev
