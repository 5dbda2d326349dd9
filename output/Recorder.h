#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tev {

class SoundDevice;

// FLAC and WAV hold the mix as 16-bit samples (RecordingSample); MP3 and Ogg Vorbis encode its
// floats.
enum class RecordingFormat { Flac, Wav, Mp3, Vorbis };

// The formats whose encoder this FFmpeg has, FLAC (the default) first.
std::vector<RecordingFormat> AvailableRecordingFormats();
// "FLAC", "WAV", "MP3", "Ogg Vorbis".
const char* RecordingFormatName(RecordingFormat format);
// "flac", "wav", "mp3", "ogg".
const char* RecordingExtension(RecordingFormat format);
// "TevAudio 2026-12-06 21-30-05.flac".
std::string RecordingFileName(const std::tm& when, RecordingFormat format);
// The XDG music folder + "/TevAudio": XDG_MUSIC_DIR from $XDG_CONFIG_HOME/user-dirs.dirs
// (~/.config when unset), else ~/Music.
std::string DefaultRecordingFolder();
// The same for a given home and configuration folder (empty: home/.config).
std::string DefaultRecordingFolderFor(const std::string& home, const std::string& configHome);

// What the UI polls.
struct RecordingStatus {
    bool recording = false;
    std::string path;  // the file being written, or the last one
    uint32_t sampleRate = 0;
    uint64_t framesWritten = 0;  // frames safely in the file
    int gaps = 0;                // lines in path + ".gaps.txt"
    uint64_t framesLost = 0;     // frames missing in those gaps
    uint64_t framesPending = 0;  // in the FIFO, not yet written: how far writing lags
    std::string error;           // why the recording stopped by itself; empty when it did not
    std::string note;            // e.g. that a device change started a new file
};

// Records what a SoundDevice plays into a file. The audio thread only copies the device's mix
// into a FIFO (RecordingTap); a writer thread encodes and writes it. When writing falls behind,
// the FIFO drops blocks and the recording gets a gap, listed in "<file>.gaps.txt" with where it
// is and how long; a write error stops the recording and leaves a playable file of what was
// written before it. [UI thread] every operation.
class Recorder {
  public:
    struct Options {
        double fifoSeconds = 4.0;
        // Test hook: the writer calls it before each batch (a test stalls it there).
        std::function<void()> beforeWrite;
    };

    Recorder();
    explicit Recorder(Options options);
    ~Recorder();  // finishes the file
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Starts a new file named by the present time in `folder` (made if missing), recording
    // `device` from its next block; a recording under way is finished first. False, with the
    // reason in `error`, when it cannot.
    bool Start(SoundDevice* device, const std::string& folder, RecordingFormat format,
               std::string& error);
    // Finishes the file. Nothing happens when not recording.
    void Stop();
    // The main output's device changed (nullptr: it has none for now). The recording goes on
    // there after a marked gap; at another rate it goes on in a new file, and the status's note
    // says so.
    void FollowDevice(SoundDevice* device);
    // Also reaps a recording that stopped on a write error.
    RecordingStatus Status();
    bool IsRecording();

  private:
    class Writer;

    Options options_;
    std::unique_ptr<Writer> writer_;
    std::string folder_;
    RecordingFormat format_ = RecordingFormat::Flac;
    RecordingStatus last_;  // of the finished recording
    std::string note_;
};

}  // namespace tev
