#pragma once
// A file descriptor closed on every way out of the scope that opened it.

#include <unistd.h>

namespace qm {

struct ScopedFd {
    int fd = -1;
    explicit ScopedFd(int opened) : fd(opened) {}
    ScopedFd(const ScopedFd &) = delete;
    ScopedFd &operator=(const ScopedFd &) = delete;
    ~ScopedFd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Closes now; a close that fails is a write that did not happen.
    bool close()
    {
        const int r = ::close(fd);
        fd = -1;
        return r == 0;
    }
};

} // namespace qm
