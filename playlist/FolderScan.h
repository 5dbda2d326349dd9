#pragma once

#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace tev {

// Whether a file's name marks a sound file the decoder takes: the whole extension, in any
// letter case, is one of .mp3 .ogg .wav .wma .flac .m4a .aac .opus .oga .aif .aiff.
bool IsSoundFile(const std::string& path);

// Every sound file under `folder`, at any depth, in ascending path order (bytes). Folders reached
// through symbolic links are not entered, so a link back up cannot loop; a folder that cannot be
// read is passed over. Stops early, returning what it has, once `stop` is requested.
std::vector<std::string> FindSoundFiles(const std::string& folder,
                                        const std::stop_token& stop = {});

// FindSoundFiles on a thread of its own, so that a huge folder does not hold the window up.
// [UI thread] everything; the thread hands its result over under the lock.
class FolderScan {
  public:
    FolderScan() = default;
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;
    // Stops a scan under way and waits for its thread.
    ~FolderScan() = default;

    // Starts scanning `folder`; a scan under way is stopped first.
    void Start(const std::string& folder);
    // The scan has finished and its result has not been taken.
    bool Finished() const;
    // The result, once; empty before the scan has finished.
    std::vector<std::string> Take();

  private:
    mutable std::mutex mutex_;
    bool finished_ = false;
    std::vector<std::string> found_;
    // Last, so that it is stopped and joined before the result it writes goes away.
    std::jthread thread_;
};

}  // namespace tev
