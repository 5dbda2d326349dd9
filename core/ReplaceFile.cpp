#include "core/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/WriteAll.h"

namespace tev {

std::string ReplaceFileTemporaryPrefix(const std::filesystem::path& file) {
    return "." + file.filename().string() + ".saving-";
}

bool ReplaceFile(const std::filesystem::path& file, const std::string& content,
                 std::string& error) {
    static std::atomic<unsigned> saves{0};
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const std::string prefix = (folder / ReplaceFileTemporaryPrefix(file)).string();
    std::string temporary;
    int fd = -1;
    // mkstemp would create the file 0600; a name of our own, opened exclusively, lets the umask
    // decide, as for any new file.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761U + saves++ * 40503U;
        std::string suffix(6, 'a');
        for (char& c : suffix) {
            c = kLetters[seed % (sizeof kLetters - 1)];
            seed /= sizeof kLetters - 1;
        }
        temporary = prefix + suffix;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            error = std::strerror(errno);
            return false;
        }
    }
    if (fd < 0) {
        error = std::strerror(EEXIST);
        return false;
    }
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        fchmod(fd, old.st_mode & 07777);
    }
    bool written = WriteAll(fd, content) && fsync(fd) == 0;
    int reason = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        reason = errno;
    }
    if (written && std::rename(temporary.c_str(), file.c_str()) != 0) {
        written = false;
        reason = errno;
    }
    if (!written) {
        error = std::strerror(reason);
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace tev
