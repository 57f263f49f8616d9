// On the desktop: stderr is pointed at /dev/null, and back.
#include "audio/quiet_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

QuietStderr::QuietStderr() : saved(dup(2)) {
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) {
        dup2(null, 2);
    }
    if (null >= 0) {
        close(null);
    }
}

QuietStderr::~QuietStderr() {
    std::fflush(stderr);
    if (saved >= 0) {
        dup2(saved, 2);
        close(saved);
    }
}
