#pragma once

#include <cerrno>
#include <string>

#include <unistd.h>

namespace tev {

// Writes all of `content` to `fd`, however many writes it takes; false on an error.
inline bool WriteAll(int fd, const std::string& content) {
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t wrote = ::write(fd, content.data() + done, content.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

}  // namespace tev
