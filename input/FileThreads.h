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

// Opens a file with a private decoder for its title and duration (the track-length loader's
// way of reading files).
bool ReadTrackInfo(const std::string& path, TrackInfo& info);

}  // namespace tev
