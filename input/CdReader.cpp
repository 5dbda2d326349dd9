#include "input/CdReader.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/AppMessages.h"
#include "core/RingProducer.h"

namespace tev {
namespace {

constexpr uint32_t kBlocksPerChunk = kChunkBytes / kCdBlockBytes;  // 5

// libcdio reports on standard output (a missing drive, an unreadable image); the deck reports
// in its own words instead.
void QuietLog(cdio_log_level_t, const char*) {}

}  // namespace

struct CdReader::Disc {
    ~Disc() {
        if (paranoia != nullptr) {
            cdio_paranoia_free(paranoia);
        }
        if (drive != nullptr) {
            cdio_cddap_close_no_free_cdio(drive);
        }
        if (cdio != nullptr) {
            cdio_destroy(cdio);
        }
    }

    CdIo_t* cdio = nullptr;
    cdrom_drive_t* drive = nullptr;        // physical drives: paranoia's view of the drive
    cdrom_paranoia_t* paranoia = nullptr;  // physical drives: error-corrected extraction
    lsn_t paranoiaNext = -1;               // where paranoia reads next without a seek
    lsn_t firstLsn = 0;
    std::vector<uint32_t> trackBlocks;  // the audio tracks from the first, in blocks
    uint64_t totalBytes = 0;
};

CdReader::CdReader() {
    cdio_log_set_handler(QuietLog);
    if (char** devices = cdio_get_devices(DRIVER_DEVICE)) {
        for (char** device = devices; *device != nullptr; ++device) {
            drives_.push_back({*device, false});
        }
        cdio_free_device_list(devices);
    }
}

CdReader::~CdReader() = default;

int CdReader::DriveCount() const {
    std::lock_guard lock(drivesMutex_);
    return static_cast<int>(drives_.size());
}

std::string CdReader::DriveNameAt(int driveIndex) const {
    std::lock_guard lock(drivesMutex_);
    return driveIndex >= 0 && driveIndex < static_cast<int>(drives_.size())
               ? drives_[static_cast<size_t>(driveIndex)].name
               : std::string();
}

int CdReader::AddImage(const std::string& cuePath) {
    std::lock_guard lock(drivesMutex_);
    for (size_t i = 0; i < drives_.size(); ++i) {
        if (drives_[i].name == cuePath) {
            return static_cast<int>(i);
        }
    }
    drives_.push_back({cuePath, true});
    return static_cast<int>(drives_.size()) - 1;
}

void CdReader::Open(int deck, int driveIndex) {
    Close(deck);
    Drive drive;
    {
        std::lock_guard lock(drivesMutex_);
        if (driveIndex < 0 || driveIndex >= static_cast<int>(drives_.size())) {
            return;
        }
        drive = drives_[static_cast<size_t>(driveIndex)];
    }
    auto disc = std::make_unique<Disc>();
    disc->cdio = cdio_open(drive.name.c_str(), drive.image ? DRIVER_BINCUE : DRIVER_DEVICE);
    if (disc->cdio == nullptr) {
        return;
    }
    const track_t first = cdio_get_first_track_num(disc->cdio);
    const track_t count = cdio_get_num_tracks(disc->cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        return;
    }
    const lsn_t end = cdio_get_disc_last_lsn(disc->cdio);
    // The audio tracks from the first on; a data track (the second session of an enhanced CD)
    // ends them.
    for (track_t t = first; t < first + count; ++t) {
        if (cdio_get_track_format(disc->cdio, t) != TRACK_FORMAT_AUDIO) {
            break;
        }
        const lsn_t start = cdio_get_track_lsn(disc->cdio, t);
        const lsn_t next = t + 1 < first + count ? cdio_get_track_lsn(disc->cdio, t + 1) : end;
        if (start == CDIO_INVALID_LSN || next == CDIO_INVALID_LSN || next <= start) {
            break;
        }
        if (disc->trackBlocks.empty()) {
            disc->firstLsn = start;
        }
        disc->trackBlocks.push_back(static_cast<uint32_t>(next - start));
        disc->totalBytes += static_cast<uint64_t>(next - start) * kCdBlockBytes;
    }
    if (disc->trackBlocks.empty()) {
        return;
    }
    if (!drive.image) {
        disc->drive = cdio_cddap_identify_cdio(disc->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (disc->drive != nullptr && cdio_cddap_open(disc->drive) == 0) {
            disc->paranoia = cdio_paranoia_init(disc->drive);
            cdio_paranoia_modeset(disc->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        }
        // Without paranoia the drive is read directly, as an image is.
    }
    Deck& d = decks_[deck];
    d.disc = std::move(disc);
    d.driveName = drive.name;
    d.readPosition.store(0);
}

void CdReader::Close(int deck) {
    decks_[deck].disc.reset();
    decks_[deck].driveName.clear();
}

bool CdReader::IsOpen(int deck) const {
    return decks_[deck].disc != nullptr;
}

int CdReader::TrackCount(int deck) const {
    const Disc* disc = decks_[deck].disc.get();
    return disc != nullptr ? static_cast<int>(disc->trackBlocks.size()) : 0;
}

std::string CdReader::DriveName(int deck) const {
    return decks_[deck].driveName;
}

double CdReader::TrackLength(int deck, int track) const {
    if (track < 1 || track > TrackCount(deck)) {
        return 0.0;
    }
    const uint32_t blocks = decks_[deck].disc->trackBlocks[static_cast<size_t>(track - 1)];
    return static_cast<double>(blocks) * kCdBlockBytes / kCdBytesPerSecond;
}

double CdReader::DiscLength(int deck) const {
    const Disc* disc = decks_[deck].disc.get();
    return disc != nullptr ? static_cast<double>(disc->totalBytes) / kCdBytesPerSecond : 0.0;
}

uint64_t CdReader::TrackStartBytes(int deck, int track) const {
    const int last = std::min(track - 1, TrackCount(deck));
    uint64_t bytes = 0;
    for (int t = 0; t < last; ++t) {
        bytes += static_cast<uint64_t>(decks_[deck].disc->trackBlocks[static_cast<size_t>(t)]) *
                 kCdBlockBytes;
    }
    return bytes;
}

double CdReader::TrackStart(int deck, int track) const {
    return static_cast<double>(TrackStartBytes(deck, track)) / kCdBytesPerSecond;
}

double CdReader::Position(int deck) const {
    return static_cast<double>(decks_[deck].readPosition.load()) / kCdBytesPerSecond;
}

void CdReader::SetPosition(int deck, double seconds) {
    // Seconds made of block lengths (a track's start) must land on that block, not just below.
    const double blocks =
        std::floor(std::max(0.0, seconds) * kCdBytesPerSecond / kCdBlockBytes + 1e-6);
    decks_[deck].readPosition.store(static_cast<uint32_t>(blocks) * kCdBlockBytes);
}

int CdReader::TrackAt(int deck, uint32_t bytePosition) const {
    const int count = TrackCount(deck);
    uint64_t end = 0;
    for (int t = 1; t <= count; ++t) {
        end += static_cast<uint64_t>(decks_[deck].disc->trackBlocks[static_cast<size_t>(t - 1)]) *
               kCdBlockBytes;
        if (bytePosition < end) {
            return t;
        }
    }
    return count + 1;
}

int CdReader::CurrentTrack(int deck) const {
    return TrackAt(deck, decks_[deck].readPosition.load());
}

void CdReader::JumpToTrack(int deck, int track) {
    decks_[deck].readPosition.store(static_cast<uint32_t>(TrackStartBytes(deck, track)));
}

double CdReader::ElapsedInTrack(int deck) const {
    return Position(deck) - TrackStart(deck, CurrentTrack(deck));
}

void CdReader::SeekInTrack(int deck, double seconds) {
    SetPosition(deck, TrackStart(deck, CurrentTrack(deck)) + seconds);
}

int CdReader::Read(int deck, uint32_t byteCount, bool& ok) {
    ok = true;
    Deck& d = decks_[deck];
    Disc* disc = d.disc.get();
    if (disc == nullptr) {
        ok = false;
        return 0;
    }
    DeckRing& ring = deckRing[deck];
    const uint32_t chunks = byteCount / kChunkBytes;
    uint32_t done = 0;
    for (; done < chunks; ++done) {
        const uint32_t position = d.readPosition.load();
        if (position >= disc->totalBytes) {
            ok = false;  // the end of the disc
            break;
        }
        const auto blocks = static_cast<uint32_t>(
            std::min<uint64_t>(kBlocksPerChunk, (disc->totalBytes - position) / kCdBlockBytes));
        const uint32_t offset = ring.cdFillOffset.load();
        uint8_t* out = ring.data + offset;
        const lsn_t lsn = disc->firstLsn + static_cast<lsn_t>(position / kCdBlockBytes);
        bool read = true;
        if (disc->paranoia != nullptr) {
            if (disc->paranoiaNext != lsn) {
                cdio_paranoia_seek(disc->paranoia, lsn, SEEK_SET);
            }
            for (uint32_t b = 0; b < blocks && read; ++b) {
                const int16_t* block = cdio_paranoia_read(disc->paranoia, nullptr);
                read = block != nullptr;
                if (read) {
                    std::memcpy(out + b * kCdBlockBytes, block, kCdBlockBytes);
                }
            }
            disc->paranoiaNext = read ? lsn + static_cast<lsn_t>(blocks) : -1;
        } else {
            read = cdio_read_audio_sectors(disc->cdio, out, lsn, blocks) == DRIVER_OP_SUCCESS;
        }
        if (!read) {
            ok = false;  // a read error, or the disc was taken out
            break;
        }
        // The disc's end can cut the last chunk short: the rest is silence.
        std::memset(out + blocks * kCdBlockBytes, 0, (kBlocksPerChunk - blocks) * kCdBlockBytes);
        ring.cdFillOffset.store((offset + kChunkBytes) % kRingBytes);
        d.readPosition.store(position + blocks * kCdBlockBytes);
    }
    ring.writeIndex.store((ring.writeIndex.load() + done) % kRingChunks);
    return static_cast<int>(done);
}

CdReader& Cd() {
    static CdReader reader;
    return reader;
}

uint32_t ThreadCdOpen(int deck) {
    Cd().Open(deck, cdDriveRequest[deck]);
    deckEvents[deck].cdOpenDone.Set();
    return 0;
}

uint32_t ThreadCdReadForward(int deck) {
    CdReader& cd = Cd();
    RingProducer producer(deck, ReaderKind::Cd);
    DeckRing& ring = producer.ring();
    producer.Begin();
    const std::string source = cd.DriveName(deck);
    int filled = 0;
    for (;;) {
        const int n = producer.WaitForBatch();
        if (n <= 0) {
            if (n < 0) {
                break;
            }
            producer.FinishBatch(0);
            continue;
        }
        uint32_t w = ring.writeIndex.load();
        const uint32_t start = cd.ReadPosition(deck);
        bool ok = true;
        const int got = cd.Read(deck, static_cast<uint32_t>(n) * kChunkBytes, ok);
        SendAppMessage(hMixerWnd, WM_CHUNK_FILLED, static_cast<WPARAM>(deck));
        for (int k = 0; k < got; ++k) {
            if (!producer.IsRunning()) {
                break;
            }
            // Each chunk carries the track it starts in, so the deck shows the track it hears.
            const auto track = static_cast<uint32_t>(
                cd.TrackAt(deck, start + static_cast<uint32_t>(k) * kChunkBytes));
            const uint32_t previous = ring.chunkPosition[(w + kRingChunks - 1) % kRingChunks];
            if (ring.chunkPosition[w] != kNoChunkPosition && previous != track) {
                SendAppMessage(hMixerWnd, WM_TRACK_ENDED, static_cast<WPARAM>(deck));
            }
            producer.Publish(w, source, track);
            producer.ApplyPrimingRule();
            ++filled;
            w = (w + 1) % kRingChunks;
        }
        if (!ok) {
            // The disc has ended (or cannot be read on): what was read plays, then silence.
            if (filled > 0) {
                producer.PrimeAtEnd();
            }
            break;
        }
        producer.FinishBatch(got);
    }
    producer.End();
    return 0;
}

bool OpenCdIntoDeck(int deck, int driveIndex) {
    cdDriveRequest[deck] = driveIndex;
    deckEvents[deck].cdOpenDone.Reset();
    WorkerThread::Start(deck == 0 ? "CdOpenA" : "CdOpenB", kPriorityNormal,
                        [deck] { ThreadCdOpen(deck); });
    WaitPumping(deckEvents[deck].cdOpenDone);
    return Cd().IsOpen(deck);
}

WorkerThread StartCdReader(int deck) {
    return StartReader(deck, ReaderKind::Cd, [deck] { ThreadCdReadForward(deck); });
}

WorkerThread StartCdReader(int deck, int track, double seconds) {
    return StartReader(deck, ReaderKind::Cd, [deck, track, seconds] {
        Cd().JumpToTrack(deck, track);
        Cd().SeekInTrack(deck, seconds);
        ThreadCdReadForward(deck);
    });
}

}  // namespace tev
