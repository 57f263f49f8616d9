// LD_PRELOAD shim for the timing tests: it holds up chosen frames of the real game, as a busy
// machine, a first run (the software renderer building its shader cache) or a throttled
// process does, so that ticks fall due before their frame is drawn, two at once, or after a
// stall longer than the pacer makes up for. Each glutSwapBuffers is handed on, then held:
//
//   VELMORA_STALL_EVERY=N  every Nth swap is held for VELMORA_STALL_MS milliseconds (120)
//   VELMORA_STALL_AT=K:MS  the Kth swap is held MS milliseconds once (one or more, by commas)
#include <dlfcn.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

long number(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text != nullptr ? std::atol(text) : fallback;
}

void hold(long ms) {
    timespec left{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// The one stall of swap `swap`, from VELMORA_STALL_AT, or 0.
long stall_at(long swap) {
    const char* list = std::getenv("VELMORA_STALL_AT");
    for (const char* p = list; p != nullptr && *p != '\0';) {
        char* end = nullptr;
        const long at = std::strtol(p, &end, 10);
        if (end == p || *end != ':') {
            return 0;
        }
        const long ms = std::strtol(end + 1, &end, 10);
        if (at == swap) {
            return ms;
        }
        p = std::strchr(end, ',');
        p = p != nullptr ? p + 1 : nullptr;
    }
    return 0;
}

}  // namespace

extern "C" void glutSwapBuffers() {
    using SwapBuffers = void (*)();
    static const SwapBuffers real =
        reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glutSwapBuffers"));
    static const long every = number("VELMORA_STALL_EVERY", 0);
    static const long ms = number("VELMORA_STALL_MS", 120);
    static long swaps = 0;
    real();
    ++swaps;
    if (every > 0 && swaps % every == 0) {
        hold(ms);
    }
    if (const long once = stall_at(swaps); once > 0) {
        hold(once);
    }
}
