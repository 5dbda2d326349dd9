#pragma once

#include <filesystem>
#include <string>

namespace tev {

// Replaces `file` by `content`: a temporary file in the same folder, written and synced, then
// renamed over it, so a failed save leaves the old file whole. The folder must exist. A new file
// gets the permissions the umask leaves, a replaced one keeps its own. False, with the reason in
// `error`, when anything fails; the temporary file is then removed.
bool ReplaceFile(const std::filesystem::path& file, const std::string& content, std::string& error);

// The name a temporary file of ReplaceFile starts with; six characters follow. A crash between
// the write and the rename leaves one behind, and only a save of ours makes such a name.
std::string ReplaceFileTemporaryPrefix(const std::filesystem::path& file);

}  // namespace tev
