#include "input/FileThreads.h"

#include <sys/stat.h>

#include <utility>

#include "core/RingProducer.h"
#include "input/TrackDecoder.h"

namespace tev {
namespace {

// One decoder read per chunk.
class DecoderChunkReader final : public ChunkReader {
  public:
    explicit DecoderChunkReader(int deck) : deck_(deck), decoder_(trackDecoder[deck]) {}

    Result ReadChunk(uint8_t* chunk) override {
        uint32_t bytes = 0;
        bool endOfStream = false;
        const HRESULT hr = decoder_.Read(deck_, chunk, bytes, endOfStream);
        // After a continuation the chunk belongs to the new file, whose title and length are read
        // here, where the decoder is this thread's. After the last chunk the decoder has closed
        // and forgotten its path, but the chunk still came from the file before.
        if (!decoder_.Path().empty() && decoder_.Path() != source_.path) {
            source_.path = decoder_.Path();
            source_.title = decoder_.GetTitle();
            source_.seconds = decoder_.GetDuration();
        }
        return {hr == S_OK, endOfStream};
    }

    const ChunkSource& Source() const override { return source_; }

  private:
    int deck_;
    TrackDecoder& decoder_;
    ChunkSource source_;
};

}  // namespace

uint32_t ThreadFileOpen(int deck) {
    trackDecoder[deck].Open(deckFilePath[deck]);
    deckEvents[deck].fileOpenDone.Set();
    return 0;
}

uint32_t ThreadFileReadForward(int deck) {
    DecoderChunkReader reader(deck);
    ProduceChunks(deck, reader);
    return 0;
}

bool OpenFileIntoDeck(int deck, const std::string& path) {
    deckFilePath[deck] = path;
    deckEvents[deck].fileOpenDone.Reset();
    WorkerThread::Start(deck == 0 ? "FileOpenA" : "FileOpenB", kPriorityNormal,
                        [deck] { ThreadFileOpen(deck); });
    WaitPumping(deckEvents[deck].fileOpenDone);
    return trackDecoder[deck].IsOpen();
}

WorkerThread StartFileReader(int deck) {
    return StartReader(deck, ReaderKind::File, [deck] { ThreadFileReadForward(deck); });
}

WorkerThread StartFileReader(int deck, FileReaderStart start) {
    return StartReader(deck, ReaderKind::File, [deck, start = std::move(start)] {
        TrackDecoder& decoder = trackDecoder[deck];
        if (!decoder.IsOpen() && decoder.Open(start.path) != S_OK) {
            RingProducer(deck, ReaderKind::File).End();
            return;
        }
        decoder.Seek(start.fraction);
        ThreadFileReadForward(deck);
    });
}

std::string WhyNotPlayable(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return "is missing";
    }
    if (S_ISDIR(info.st_mode)) {
        return "is a folder";
    }
    if (!S_ISREG(info.st_mode)) {
        return "is not a regular file";
    }
    return "is not a sound file TevAudio can play";
}

bool ReadTrackInfo(const std::string& path, TrackInfo& info) {
    TrackDecoder decoder;
    if (decoder.Open(path) != S_OK) {
        return false;
    }
    info.title = decoder.GetTitle();
    info.seconds = decoder.GetDuration();
    decoder.Close();
    return true;
}

}  // namespace tev
