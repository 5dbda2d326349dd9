#include "playlist/FolderScan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>

namespace tev {

bool IsSoundFile(const std::string& path) {
    static constexpr std::array<std::string_view, 11> kExtensions = {
        ".mp3", ".ogg", ".wav", ".wma", ".flac", ".m4a", ".aac", ".opus", ".oga", ".aif", ".aiff"};
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return false;
    }
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

std::vector<std::string> FindSoundFiles(const std::string& folder, const std::stop_token& stop) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::vector<fs::path> pending{fs::path(folder)};
    while (!pending.empty() && !stop.stop_requested()) {
        const fs::path current = std::move(pending.back());
        pending.pop_back();
        std::error_code ec;
        fs::directory_iterator entries(current, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && entries != fs::directory_iterator(); entries.increment(ec)) {
            const fs::directory_entry& entry = *entries;
            std::error_code statEc;
            // The link itself: a linked folder is not entered.
            if (entry.is_directory(statEc) && !entry.is_symlink(statEc)) {
                pending.push_back(entry.path());
            } else if (IsSoundFile(entry.path().native()) && entry.is_regular_file(statEc)) {
                found.push_back(entry.path().native());
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

void FolderScan::Start(const std::string& folder) {
    thread_ = std::jthread();  // stops and joins the previous scan
    {
        const std::lock_guard lock(mutex_);
        finished_ = false;
        found_.clear();
    }
    thread_ = std::jthread([this, folder](const std::stop_token& stop) {
        std::vector<std::string> found = FindSoundFiles(folder, stop);
        const std::lock_guard lock(mutex_);
        found_ = std::move(found);
        finished_ = true;
    });
}

bool FolderScan::Finished() const {
    const std::lock_guard lock(mutex_);
    return finished_;
}

std::vector<std::string> FolderScan::Take() {
    const std::lock_guard lock(mutex_);
    if (!finished_) {
        return {};
    }
    finished_ = false;
    return std::exchange(found_, {});
}

}  // namespace tev
