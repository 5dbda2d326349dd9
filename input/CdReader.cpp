#include "input/CdReader.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <cdio/version.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/AppMessages.h"
#include "core/RingProducer.h"

namespace tev {
namespace {

constexpr uint32_t kBlocksPerChunk = kChunkBytes / kCdBlockBytes;  // 5

// libcdio reports on standard output (a missing drive, an unreadable image); the deck reports
// in its own words instead.
void QuietLog(cdio_log_level_t, const char*) {}

// The length of the UTF-8 sequence at `s` (at most `left` bytes), or 0 when it is not one.
size_t Utf8Sequence(const unsigned char* s, size_t left) {
    const size_t length = s[0] < 0x80                   ? 1
                          : s[0] >= 0xC2 && s[0] < 0xE0 ? 2
                          : s[0] >= 0xE0 && s[0] < 0xF0 ? 3
                          : s[0] >= 0xF0 && s[0] < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || length > left) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// libcdio reads a cue sheet's titles as Latin-1, but cue sheets are mostly written in UTF-8:
// "Tône" comes back as "TÃ´ne". A title whose characters are all Latin-1 and whose bytes then
// form UTF-8 with some character beyond ASCII was such a title, and is taken back.
std::string UndoLatin1Reading(const std::string& title) {
    std::string bytes;
    bool beyondAscii = false;
    const auto* s = reinterpret_cast<const unsigned char*>(title.data());
    for (size_t i = 0; i < title.size();) {
        const size_t length = Utf8Sequence(s + i, title.size() - i);
        if (length == 1) {
            bytes.push_back(static_cast<char>(s[i]));
        } else if (length == 2 && s[i] <= 0xC3) {
            bytes.push_back(static_cast<char>(((s[i] & 0x03) << 6) | (s[i + 1] & 0x3F)));
            beyondAscii = true;
        } else {
            return title;  // beyond Latin-1: libcdio read it right
        }
        i += length;
    }
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = Utf8Sequence(b + i, bytes.size() - i);
        if (length == 0) {
            return title;  // really Latin-1
        }
        i += length;
    }
    return beyondAscii ? bytes : title;
}

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
    // CD-TEXT titles: the disc's first, then each audio track's; empty where there is none.
    std::vector<std::string> titles;
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

std::vector<std::string> CdReader::CueDataFiles(const std::string& cueText) {
    std::vector<std::string> files;
    size_t at = 0;
    while (at < cueText.size()) {
        size_t end = cueText.find('\n', at);
        if (end == std::string::npos) {
            end = cueText.size();
        }
        std::string line = cueText.substr(at, end - at);
        at = end + 1;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line.compare(first, 5, "FILE ") != 0) {
            continue;
        }
        size_t name = line.find_first_not_of(" \t", first + 5);
        if (name == std::string::npos) {
            continue;
        }
        if (line[name] == '"') {
            const size_t close = line.find('"', name + 1);
            if (close != std::string::npos) {
                files.push_back(line.substr(name + 1, close - name - 1));
            }
        } else {
            // Unquoted: up to the last word, the file's type.
            const size_t last = line.find_last_of(" \t", line.find_last_not_of(" \t\r"));
            if (last != std::string::npos && last > name) {
                files.push_back(line.substr(name, line.find_last_not_of(" \t", last) + 1 - name));
            }
        }
    }
    return files;
}

namespace {

// What is wrong with a file an image needs; empty when it is a regular file that opens. The
// open does not block, whatever the path has become since it was looked at.
std::string CheckRegularFile(const std::string& path, const char* what) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::string(what) + " " + path + " is missing";
    }
    if (S_ISDIR(info.st_mode)) {
        return std::string(what) + " " + path + " is a folder";
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat opened {};
    const bool regular = fd >= 0 && fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
    if (fd >= 0) {
        ::close(fd);
    }
    if (!regular) {
        return std::string(what) + " " + path + (fd < 0 ? " cannot be read" : " is not a file");
    }
    return {};
}

}  // namespace

std::string CdReader::CheckImage(const std::string& cuePath) {
    if (std::string problem = CheckRegularFile(cuePath, "the cue sheet"); !problem.empty()) {
        return problem;
    }
    std::ifstream in(cuePath);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::string> files = CueDataFiles(text);
    if (files.empty()) {
        return "the cue sheet " + cuePath + " names no data file";
    }
    const size_t slash = cuePath.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : cuePath.substr(0, slash + 1);
    for (const std::string& file : files) {
        const std::string path = !file.empty() && file[0] == '/' ? file : dir + file;
        if (std::string problem = CheckRegularFile(path, "its data file"); !problem.empty()) {
            return problem;
        }
    }
    return {};
}

std::unique_ptr<CdReader::Disc> CdReader::Probe(const Drive& drive, std::string& error) {
    if (drive.image) {
        error = CheckImage(drive.name);
        if (!error.empty()) {
            return nullptr;
        }
    }
    auto disc = std::make_unique<Disc>();
    disc->cdio = cdio_open(drive.name.c_str(), drive.image ? DRIVER_BINCUE : DRIVER_DEVICE);
    if (disc->cdio == nullptr) {
        error = drive.image ? "the image cannot be read" : "the drive cannot be opened";
        return nullptr;
    }
    const track_t first = cdio_get_first_track_num(disc->cdio);
    const track_t count = cdio_get_num_tracks(disc->cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        error = "there is no disc, or it has no tracks";
        return nullptr;
    }
    const lsn_t end = cdio_get_disc_last_lsn(disc->cdio);
    // The audio tracks from the first on; a data track (the second session of an enhanced CD)
    // ends them.
    uint64_t blocks = 0;
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
        blocks += static_cast<uint64_t>(next - start);
        if (blocks > kMaxDiscBlocks) {
            error = "it is longer than any audio CD (100 minutes)";
            return nullptr;
        }
        disc->trackBlocks.push_back(static_cast<uint32_t>(next - start));
        disc->totalBytes += static_cast<uint64_t>(next - start) * kCdBlockBytes;
    }
    if (disc->trackBlocks.empty()) {
        error = "it holds no audio track";
        return nullptr;
    }
    ReadTitles(*disc, first, drive.image);
    // An image whose data file is shorter than its cue sheet says (a folder opens as one
    // block): nothing of it could be played.
    std::vector<uint8_t> block(kCdBlockBytes);
    if (drive.image &&
        cdio_read_audio_sectors(disc->cdio, block.data(), disc->firstLsn, 1) != DRIVER_OP_SUCCESS) {
        error = "its data file holds no sound";
        return nullptr;
    }
    if (!drive.image) {
        disc->drive = cdio_cddap_identify_cdio(disc->cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (disc->drive != nullptr && cdio_cddap_open(disc->drive) == 0) {
            disc->paranoia = cdio_paranoia_init(disc->drive);
            cdio_paranoia_modeset(disc->paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        }
        // Without paranoia the drive is read directly, as an image is.
    }
    return disc;
}

void CdReader::ReadTitles(Disc& disc, int firstTrack, bool image) {
    disc.titles.assign(disc.trackBlocks.size() + 1, std::string());
    const cdtext_t* text = cdio_get_cdtext(disc.cdio);
    if (text == nullptr) {
        return;
    }
    for (size_t i = 0; i < disc.titles.size(); ++i) {
        const auto track = static_cast<track_t>(i == 0 ? 0 : firstTrack + static_cast<int>(i) - 1);
        const char* found = cdtext_get_const(text, CDTEXT_FIELD_TITLE, track);
        if (found == nullptr) {
            continue;
        }
        const std::string title = image ? UndoLatin1Reading(found) : std::string(found);
        // A title is a line of text: a hostile disc's control characters and run-on length
        // stop here, at a whole character.
        std::string& kept = disc.titles[i];
        const auto* s = reinterpret_cast<const unsigned char*>(title.data());
        for (size_t at = 0; at < title.size();) {
            const size_t length = std::max<size_t>(Utf8Sequence(s + at, title.size() - at), 1);
            if (kept.size() + length > kMaxTitleBytes) {
                break;
            }
            if (s[at] >= 0x20 && s[at] != 0x7F) {
                kept.append(title, at, length);
            }
            at += length;
        }
    }
}

std::string CdReader::Title(int deck, int track) const {
    const Disc* disc = decks_[deck].disc.get();
    if (disc == nullptr || track < 0 || track >= static_cast<int>(disc->titles.size())) {
        return {};
    }
    return disc->titles[static_cast<size_t>(track)];
}

void CdReader::Install(int deck, std::unique_ptr<Disc> disc, const std::string& name,
                       const std::string& error) {
    Deck& d = decks_[deck];
    d.error = error;
    if (disc == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(d.readMutex);
        d.disc = std::move(disc);
    }
    d.driveName = name;
    d.readPosition.store(0);
}

void CdReader::Open(int deck, int driveIndex) {
    const uint64_t attempt = BeginOpen(deck);
    RunOpen(deck, attempt, driveIndex);
    FinishOpen(deck, attempt);
}

uint64_t CdReader::BeginOpen(int deck) {
    Close(deck);
    Deck& d = decks_[deck];
    const std::lock_guard lock(d.openMutex);
    d.opened.reset();
    d.openedError.clear();
    return ++d.attempt;
}

void CdReader::RunOpen(int deck, uint64_t attempt, int driveIndex) {
    Drive drive;
    std::string error = "there is no such drive";
    std::unique_ptr<Disc> disc;
    {
        std::lock_guard lock(drivesMutex_);
        if (driveIndex >= 0 && driveIndex < static_cast<int>(drives_.size())) {
            drive = drives_[static_cast<size_t>(driveIndex)];
            error.clear();
        }
    }
    if (error.empty()) {
        disc = Probe(drive, error);
    }
    Deck& d = decks_[deck];
    const std::lock_guard lock(d.openMutex);
    if (d.attempt == attempt) {
        d.opened = std::move(disc);
        d.openedName = drive.name;
        d.openedError = error;
    }
    // Otherwise the deck stopped waiting: the disc is let go here.
}

bool CdReader::FinishOpen(int deck, uint64_t attempt) {
    Deck& d = decks_[deck];
    std::unique_ptr<Disc> disc;
    std::string name;
    std::string error;
    {
        const std::lock_guard lock(d.openMutex);
        if (d.attempt != attempt) {
            return false;
        }
        disc = std::move(d.opened);
        name = d.openedName;
        error = d.openedError;
    }
    Install(deck, std::move(disc), name, error);
    return IsOpen(deck);
}

void CdReader::AbandonOpen(int deck) {
    Deck& d = decks_[deck];
    const std::lock_guard lock(d.openMutex);
    ++d.attempt;
    d.opened.reset();
    d.error = kNoAnswer;
}

void CdReader::Close(int deck) {
    {
        const std::lock_guard lock(decks_[deck].readMutex);
        decks_[deck].disc.reset();  // a reader left behind still holds it
    }
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

uint64_t CdReader::LeaseReader(int deck) {
    Deck& d = decks_[deck];
    const std::lock_guard lock(d.readMutex);
    return ++d.lease;
}

void CdReader::AbandonReader(int deck) {
    Deck& d = decks_[deck];
    const std::lock_guard lock(d.readMutex);
    ++d.lease;
    d.error = kNoAnswer;
}

CdReader::ChunkRead CdReader::ReadChunk(int deck, uint64_t lease, RingProducer& producer,
                                        const ChunkSource& source) {
    Deck& d = decks_[deck];
    std::shared_ptr<Disc> disc;
    uint32_t position = 0;
    {
        const std::lock_guard lock(d.readMutex);
        if (d.lease != lease) {
            return ChunkRead::kAbandoned;
        }
        disc = d.disc;
        position = d.readPosition.load();
    }
    if (disc == nullptr || position >= disc->totalBytes) {
        return ChunkRead::kEnded;
    }
    // The drive may take its time here: nothing of the deck is held meanwhile.
    if (void (*delay)() = readDelay_.load()) {
        delay();
    }
    const auto blocks = static_cast<uint32_t>(
        std::min<uint64_t>(kBlocksPerChunk, (disc->totalBytes - position) / kCdBlockBytes));
    std::array<uint8_t, kChunkBytes> staging{};  // the disc's end leaves silence after it
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
                std::memcpy(staging.data() + b * kCdBlockBytes, block, kCdBlockBytes);
            }
        }
        disc->paranoiaNext = read ? lsn + static_cast<lsn_t>(blocks) : -1;
    } else {
        read =
            cdio_read_audio_sectors(disc->cdio, staging.data(), lsn, blocks) == DRIVER_OP_SUCCESS;
    }

    const std::lock_guard lock(d.readMutex);
    if (d.lease != lease) {
        return ChunkRead::kAbandoned;
    }
    if (!read) {
        return ChunkRead::kEnded;  // a read error, or the disc was taken out
    }
    DeckRing& ring = producer.ring();
    const uint32_t offset = ring.cdFillOffset.load();
    std::memcpy(ring.data + offset, staging.data(), kChunkBytes);
    ring.cdFillOffset.store((offset + kChunkBytes) % kRingBytes);
    const uint32_t w = ring.writeIndex.load();
    const auto track = static_cast<uint32_t>(TrackAt(deck, position));
    const uint32_t previous = ring.chunkPosition[(w + kRingChunks - 1) % kRingChunks];
    const bool newTrack = ring.chunkPosition[w] != kNoChunkPosition && previous != track;
    producer.Publish(w, source, track);
    ring.writeIndex.store((w + 1) % kRingChunks);
    d.readPosition.store(position + blocks * kCdBlockBytes);
    return newTrack ? ChunkRead::kNewTrack : ChunkRead::kRead;
}

CdReader& Cd() {
    static CdReader reader;
    return reader;
}

uint32_t ThreadCdOpen(int deck, uint64_t attempt, int driveIndex) {
    Cd().RunOpen(deck, attempt, driveIndex);
    deckEvents[deck].cdOpenDone.Set();
    return 0;
}

uint32_t ThreadCdReadForward(int deck, uint64_t lease) {
    CdReader& cd = Cd();
    RingProducer producer(deck, ReaderKind::Cd);
    producer.Begin();
    ChunkSource source;
    source.path = cd.DriveName(deck);
    int filled = 0;
    for (;;) {
        const int n = producer.WaitForBatch();
        if (n < 0) {
            break;
        }
        int got = 0;
        CdReader::ChunkRead read = CdReader::ChunkRead::kRead;
        for (; got < n && producer.IsRunning(); ++got) {
            read = cd.ReadChunk(deck, lease, producer, source);
            if (read == CdReader::ChunkRead::kAbandoned) {
                // Left behind: the deck, its ring and its events belong to others now.
                return 0;
            }
            if (read == CdReader::ChunkRead::kEnded) {
                break;
            }
            // Each chunk carries the track it starts in, so the deck shows the track it hears.
            if (read == CdReader::ChunkRead::kNewTrack) {
                SendAppMessage(hMixerWnd, WM_TRACK_ENDED, static_cast<WPARAM>(deck));
            }
            SendAppMessage(hMixerWnd, WM_CHUNK_FILLED, static_cast<WPARAM>(deck));
            producer.ApplyPrimingRule();
            ++filled;
        }
        if (read == CdReader::ChunkRead::kEnded) {
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
    CdReader& cd = Cd();
    const uint64_t attempt = cd.BeginOpen(deck);
    deckEvents[deck].cdOpenDone.Reset();
    WorkerThread::Start(deck == 0 ? "CdOpenA" : "CdOpenB", kPriorityNormal,
                        [deck, attempt, driveIndex] { ThreadCdOpen(deck, attempt, driveIndex); });
    if (!WaitPumping(deckEvents[deck].cdOpenDone, kCdOpenTimeout)) {
        cd.AbandonOpen(deck);  // the thread lets go of whatever it finds, whenever it does
        return false;
    }
    return cd.FinishOpen(deck, attempt);
}

WorkerThread StartCdReader(int deck) {
    const uint64_t lease = Cd().LeaseReader(deck);
    return StartReader(deck, ReaderKind::Cd, [deck, lease] { ThreadCdReadForward(deck, lease); });
}

WorkerThread StartCdReader(int deck, int track, double seconds) {
    // Where the reader starts is set before it runs: a reader left behind must find the deck's
    // position as it was.
    Cd().JumpToTrack(deck, track);
    Cd().SeekInTrack(deck, seconds);
    return StartCdReader(deck);
}

std::string CdLibraryVersion() {
    return std::string("libcdio ") + cdio_version_string;
}

}  // namespace tev
