// LD_PRELOAD shim for the real-window tests: the game arms its timer once per tick, so every
// glutTimerFunc call is logged, with the monotonic clock in milliseconds, to the file named by
// VELMORA_TICK_LOG, and then handed on to the toolkit.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

extern "C" void glutTimerFunc(unsigned int msecs, void (*callback)(int), int value) {
    using TimerFunc = void (*)(unsigned int, void (*)(int), int);
    static const TimerFunc real = reinterpret_cast<TimerFunc>(dlsym(RTLD_NEXT, "glutTimerFunc"));
    static int fd = [] {
        const char* path = std::getenv("VELMORA_TICK_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
    }();
    if (fd >= 0) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        char line[64];
        const int n = std::snprintf(line, sizeof line, "%.3f %u\n",
                                    now.tv_sec * 1e3 + now.tv_nsec / 1e6, msecs);
        if (write(fd, line, static_cast<size_t>(n)) != n) {
            close(fd);
            fd = -1;
        }
    }
    real(msecs, callback, value);
}

// Every picture shown, likewise, to VELMORA_SWAP_LOG: how many pictures a second the game shows.
extern "C" void glutSwapBuffers() {
    using SwapBuffers = void (*)();
    static const SwapBuffers real =
        reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    static int fd = [] {
        const char* path = std::getenv("VELMORA_SWAP_LOG");
        return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
    }();
    real();
    if (fd >= 0) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        char line[32];
        const int n =
            std::snprintf(line, sizeof line, "%.3f\n", now.tv_sec * 1e3 + now.tv_nsec / 1e6);
        if (write(fd, line, static_cast<size_t>(n)) != n) {
            close(fd);
            fd = -1;
        }
    }
}
