#pragma once

#include <cstdint>
#include <string>

#include "core/EngineThreads.h"
#include "platform/WorkerThread.h"

namespace tev {

// Opens deckFilePath of the deck into the deck's decoder, then sets "File Open Is Done Event".
uint32_t ThreadFileOpen(int deck);

// The deck's file reader: the ring's producer, one decoder read per chunk, WM_CHUNK_FILLED after
// each. It leaves after the chunk that ends the last track (no continuation).
uint32_t ThreadFileReadForward(int deck);

// [UI thread] The deck's file-open steps: stores the path, starts ThreadFileOpen and waits for
// it while dispatching messages. True when the decoder opened the file.
bool OpenFileIntoDeck(int deck, const std::string& path);

// [UI thread] Starts the deck's file reader (the ring is cleared and refilled from the decoder).
WorkerThread StartFileReader(int deck);

// Where a restarted file reader begins: it first reopens `path` if the decoder has closed (it
// does at the end of a track), then seeks to `fraction` of the track. Both run on the reader's
// thread, so the UI thread never waits for the file system or the decoder; it learns that the
// reader is there from the ring being primed. A file that no longer opens ends the reader
// without priming, so the deck never becomes ready.
struct FileReaderStart {
    std::string path;
    double fraction = 0.0;
};
// [UI thread] Starts the deck's file reader at a position, the reader stopped.
WorkerThread StartFileReader(int deck, FileReaderStart start);

// Opens a file with a private decoder for its title and duration (the track-length loader's
// way of reading files).
bool ReadTrackInfo(const std::string& path, TrackInfo& info);

// Why a file cannot be played, for the user: "is missing", "is a folder", "is not a regular
// file" or "is not a sound file TevAudio can play". Paths are bytes, as the system has them.
std::string WhyNotPlayable(const std::string& path);

}  // namespace tev
