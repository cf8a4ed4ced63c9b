// Plain descriptor helpers, header-only so that the capture helper, which links none of
// the program's libraries, can use them too.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

// Writes all `size` bytes to `fd`, going on after a short write or an interruption.
// False on the first error (errno says which).
[[nodiscard]] inline bool fd_write_all(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
